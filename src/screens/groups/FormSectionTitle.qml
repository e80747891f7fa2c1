import QtQuick
import QtQuick.Layouts
import Zephlin.App

// The small heading over a form section ("群名称", "群成员").
Text {
    required property string title
    Layout.fillWidth: true
    Layout.leftMargin: 16
    Layout.topMargin: 8
    text: title
    font: Theme.zp(12)
    color: Theme.zpTextDim
    Accessible.role: Accessible.Heading
    Accessible.name: title
}
