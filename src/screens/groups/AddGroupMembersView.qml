import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Zephlin.App
import Zephlin.Chat
import "../components"

// Picks friends who are not yet in the group; "确定添加" sends them in one command and closes.
Sheet {
    id: sheet
    objectName: "addMembersSheet"
    required property GroupSettingsState settings
    property var selected: []

    function toggle(id) {
        const i = selected.indexOf(id)
        selected = i >= 0 ? selected.filter(m => m !== id) : selected.concat([id])
    }

    contentItem: ColumnLayout {
        spacing: 8
        SheetHeader {
            Layout.fillWidth: true
            title: "添加成员"
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
                FormSectionTitle { title: "选择好友（未入群）" }
                Text {
                    objectName: "noFriends"
                    Layout.leftMargin: 16
                    visible: sheet.settings.availableFriends.length === 0
                    text: "没有可添加的好友"
                    font: Theme.zp(14)
                    color: "#8e8e93"
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }
                // One panel: the rows touch.
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 0
                    Repeater {
                        objectName: "friendPicks"
                        model: sheet.settings.availableFriends
                        delegate: FriendPickRow {
                            required property var modelData
                            Layout.fillWidth: true
                            avatarSize: 36
                            name: modelData.username
                            avatar: modelData.avatar
                            picked: sheet.selected.indexOf(modelData.id) >= 0
                            onClicked: sheet.toggle(modelData.id)
                        }
                    }
                }
                FormButton {
                    objectName: "confirmButton"
                    Layout.fillWidth: true
                    Layout.margins: 16
                    enabled: sheet.selected.length > 0
                    text: "确定添加"
                    onClicked: {
                        WebSocketService.groupAddMembers(sheet.settings.gid, sheet.selected)
                        sheet.close()
                    }
                }
            }
        }
    }
}
