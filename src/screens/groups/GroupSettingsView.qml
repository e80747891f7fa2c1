import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Zephlin.App
import Zephlin.Chat
import Zephlin.Images
import "../components"

// A group's settings as they were when the sheet opened: picture, name and members; the owner
// renames, adds and removes members, changes the picture and dissolves, anyone else leaves.
// Everything goes to the server; the chat state changes when its events arrive. An unknown
// group shows an empty sheet.
Sheet {
    id: sheet
    objectName: "groupSettingsSheet"
    required property ChatViewModel chat
    required property string gid
    property bool showRename: false
    property string newName
    property bool showAddMembers: false
    readonly property GroupSettingsState settings: settings
    readonly property var group: settings.group

    GroupSettingsState {
        id: settings
        chat: sheet.chat
        gid: sheet.gid
    }

    property ImagePicker picker: null
    Component {
        id: pickerComponent
        ImagePicker { onPicked: file => settings.uploadPicture(file) }
    }
    function pickPicture() {
        if (!picker)
            picker = pickerComponent.createObject(sheet)
        picker.open()
    }
    function rename() {
        if (newName.length > 0)
            WebSocketService.groupRename(gid, newName)
        showRename = false
    }
    function finish(type) {
        WebSocketService.send({ type: type, gid: gid })
        close()
    }

    contentItem: ColumnLayout {
        spacing: 0
        SheetHeader {
            Layout.fillWidth: true
            title: "群设置"
            leadingText: "完成"
            onLeadingClicked: sheet.close()
        }
        Flickable {
            Layout.fillWidth: true
            Layout.fillHeight: true
            visible: settings.known
            contentHeight: form.implicitHeight
            clip: true
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: ScrollBar { Accessible.name: "群设置" }
            ColumnLayout {
                id: form
                width: parent.width
                spacing: 8

                RowLayout {
                    Layout.margins: 16
                    spacing: 14
                    AbstractButton {
                        id: pictureButton
                        objectName: "pictureButton"
                        enabled: settings.isOwner
                        implicitWidth: 56
                        implicitHeight: 56
                        Accessible.role: Accessible.Button
                        Accessible.name: "更换群头像"
                        Accessible.ignored: !settings.isOwner
                        activeFocusOnTab: settings.isOwner
                        Accessible.onPressAction: sheet.pickPicture()
                        Keys.onReturnPressed: sheet.pickPicture()
                        Keys.onEnterPressed: sheet.pickPicture()
                        onClicked: sheet.pickPicture()
                        contentItem: AvatarView { name: sheet.group.name || ""; avatarURL: sheet.group.avatar; size: 56 }
                        background: Rectangle {
                            radius: 28
                            color: "transparent"
                            border.width: pictureButton.visualFocus ? 2 : 0
                            border.color: Theme.accent
                        }
                    }
                    ColumnLayout {
                        spacing: 4
                        Text {
                            objectName: "groupName"
                            text: sheet.group.name || ""
                            textFormat: Text.PlainText
                            font: Theme.zp(17, Font.DemiBold)
                            color: Theme.zpText
                        }
                        Text {
                            text: settings.members.length + " 人"
                            font: Theme.zp(13)
                            color: Theme.zpTextDim
                        }
                    }
                }

                FormSectionTitle { title: "群成员" }
                // One panel: the rows touch.
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 0
                    Repeater {
                        objectName: "memberRows"
                        model: settings.members
                        delegate: GroupMemberRow {
                            required property var modelData
                            Layout.fillWidth: true
                            member: modelData
                            removable: settings.isOwner && !modelData.isOwner
                            onRemove: WebSocketService.groupRemoveMember(sheet.gid, modelData.id)
                        }
                    }
                }

                FormSectionTitle { title: "群管理"; visible: settings.isOwner }
                FormButton {
                    objectName: "renameButton"
                    visible: settings.isOwner
                    Layout.fillWidth: true
                    Layout.leftMargin: 16
                    Layout.rightMargin: 16
                    text: "修改群名称"
                    onClicked: {
                        sheet.newName = sheet.group.name || ""
                        sheet.showRename = true
                    }
                }
                FormButton {
                    objectName: "addMembersButton"
                    visible: settings.isOwner
                    Layout.fillWidth: true
                    Layout.leftMargin: 16
                    Layout.rightMargin: 16
                    text: "添加成员"
                    onClicked: sheet.showAddMembers = true
                }
                FormButton {
                    objectName: "leaveButton"
                    Layout.fillWidth: true
                    Layout.leftMargin: 16
                    Layout.rightMargin: 16
                    Layout.topMargin: 8
                    destructive: true
                    text: settings.isOwner ? "解散群聊" : "退出群聊"
                    onClicked: sheet.finish(settings.isOwner ? "group-dissolve" : "group-leave")
                }
                MessageLine {
                    Layout.margins: 16
                    message: settings.message
                }
            }
        }
        Item { Layout.fillHeight: true; visible: !settings.known }
    }

    PopupLoader {
        active: sheet.showRename
        onClosed: sheet.showRename = false
        popup: AlertDialog {
            objectName: "renameDialog"
            title: "修改群名称"
            initialFocus: renameField
            fields: AppTextField {
                id: renameField
                objectName: "renameField"
                Layout.fillWidth: true
                placeholderText: "新群名称"
                text: sheet.newName
                onTextChanged: {
                    const cut = TextLimit.clip(text, TextLimit.groupName)
                    if (cut !== text)
                        text = cut
                    sheet.newName = text
                }
                onAccepted: sheet.rename()
            }
            DialogTextButton {
                text: "确定"
                onClicked: sheet.rename()
            }
            DialogTextButton {
                text: "取消"
                onClicked: sheet.showRename = false
            }
        }
    }
    PopupLoader {
        active: sheet.showAddMembers
        onClosed: sheet.showAddMembers = false
        popup: AddGroupMembersView { settings: sheet.settings }
    }
}
