import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Zephlin.App
import Zephlin.Chat
import "../components"

// Names a new group (cut to its first 20 characters, typed or pasted) and picks at least one
// friend; "创建" sends the command and closes. The group appears when the server announces it.
Sheet {
    id: sheet
    objectName: "createGroupSheet"
    required property ChatViewModel chat
    property alias groupName: nameField.text
    property var selectedMembers: []
    property string message
    initialFocus: nameField
    // A refusal stays until the form changes.
    onGroupNameChanged: message = ""
    onSelectedMembersChanged: message = ""

    function toggle(id) {
        const i = selectedMembers.indexOf(id)
        selectedMembers = i >= 0 ? selectedMembers.filter(m => m !== id) : selectedMembers.concat([id])
    }
    function submit() {
        if (groupName.length === 0) {
            message = "请输入群名称"
            return
        }
        if (selectedMembers.length === 0) {
            message = "请至少选择一位好友"
            return
        }
        WebSocketService.createGroup(groupName, selectedMembers)
        close()
    }

    contentItem: ColumnLayout {
        spacing: 8
        SheetHeader {
            Layout.fillWidth: true
            title: "创建群聊"
            leadingText: "取消"
            onLeadingClicked: sheet.close()
        }
        Flickable {
            Layout.fillWidth: true
            Layout.fillHeight: true
            contentHeight: form.implicitHeight
            clip: true
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: ScrollBar { Accessible.name: "好友列表" }
            ColumnLayout {
                id: form
                width: parent.width
                spacing: 8
                FormSectionTitle { title: "群名称" }
                AppTextField {
                    id: nameField
                    objectName: "groupNameField"
                    Layout.fillWidth: true
                    Layout.leftMargin: 16
                    Layout.rightMargin: 16
                    placeholderText: "群名称（1-20位）"
                    onTextChanged: {
                        const cut = TextLimit.clip(text, TextLimit.groupName)
                        if (cut !== text)
                            text = cut
                    }
                    onAccepted: sheet.submit()
                }
                FormSectionTitle { title: "选择好友（至少1位）" }
                // One panel: the rows touch.
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 0
                    Repeater {
                        objectName: "friendPicks"
                        model: sheet.chat.friends
                        delegate: FriendPickRow {
                            required property var modelData
                            Layout.fillWidth: true
                            name: modelData.username
                            avatar: modelData.avatar
                            picked: sheet.selectedMembers.indexOf(modelData.id) >= 0
                            onClicked: sheet.toggle(modelData.id)
                        }
                    }
                }
                MessageLine {
                    Layout.leftMargin: 16
                    Layout.rightMargin: 16
                    message: sheet.message
                }
                FormButton {
                    objectName: "createButton"
                    Layout.fillWidth: true
                    Layout.margins: 16
                    text: "创建"
                    onClicked: sheet.submit()
                }
            }
        }
    }
}
