import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Zephlin.App
import "../components"

// Sends a friend request for the typed user name, as typed (not trimmed), and closes; the answer
// comes later as an event. An empty name only shows the message line.
Sheet {
    id: sheet
    objectName: "addFriendSheet"
    property alias username: field.text
    property string message
    initialFocus: field
    // A refusal stays until the name changes.
    onUsernameChanged: message = ""

    function submit() {
        if (username.length === 0) {
            message = "请输入用户名"
            return
        }
        WebSocketService.send({ type: "friend-request", username: username })
        close()
    }

    contentItem: ColumnLayout {
        spacing: 12
        SheetHeader {
            Layout.fillWidth: true
            title: "添加好友"
            leadingText: "取消"
            onLeadingClicked: sheet.close()
        }
        AppTextField {
            id: field
            objectName: "usernameField"
            Layout.fillWidth: true
            Layout.leftMargin: 16
            Layout.rightMargin: 16
            placeholderText: "输入对方用户名"
            onAccepted: sheet.submit()
        }
        MessageLine {
            Layout.leftMargin: 16
            Layout.rightMargin: 16
            message: sheet.message
        }
        FormButton {
            objectName: "sendButton"
            Layout.fillWidth: true
            Layout.leftMargin: 16
            Layout.rightMargin: 16
            text: "发送验证"
            onClicked: sheet.submit()
        }
        Item { Layout.fillHeight: true }
    }
}
