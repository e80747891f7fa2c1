import QtQuick
import Zephlin.App

// The title over a section of a list ("群聊", "好友").
Text {
    required property string title
    text: title
    width: parent ? parent.width : implicitWidth
    leftPadding: 16
    rightPadding: 16
    topPadding: 14
    bottomPadding: 6
    font: Theme.zp(12)
    color: Theme.zpTextDim
    Accessible.role: Accessible.Heading
    Accessible.name: title
}
