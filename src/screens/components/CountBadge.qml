import QtQuick
import Zephlin.App

// The red capsule with a count; shown only from 1 up.
Rectangle {
    required property int count
    visible: count > 0
    implicitWidth: Math.max(implicitHeight, label.implicitWidth + 10)
    implicitHeight: label.implicitHeight + 4
    radius: height / 2
    color: Theme.danger
    Accessible.role: Accessible.StaticText
    Accessible.name: count + " 条"

    Text {
        id: label
        anchors.centerIn: parent
        text: parent.count
        font: Theme.zp(11)
        color: Theme.zpText
    }
}
