import QtQuick
import Zephlin.App

// A short message bubble. It has no timer of its own: whoever shows it decides when it goes.
Rectangle {
    id: toast
    required property string message

    implicitWidth: label.implicitWidth + 36
    implicitHeight: label.implicitHeight + 20
    radius: 8
    color: Qt.rgba(0, 0, 0, 0.8)
    Accessible.role: Accessible.AlertMessage
    Accessible.name: message

    Text {
        id: label
        anchors.centerIn: parent
        width: Math.min(implicitWidth, (toast.parent ? toast.parent.width : 390) - 76)
        text: toast.message
        color: "white"
        font: Theme.zp(14)
        wrapMode: Text.Wrap
        horizontalAlignment: Text.AlignHCenter
    }
}
