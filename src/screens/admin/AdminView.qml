import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Zephlin.App
import Zephlin.Chat
import "../components"

// The administrator's sheet: hall, users and announcement. Commands go out over the live channel;
// their effects come back as live events, so the sheet keeps no hall state of its own.
Sheet {
    id: sheet
    objectName: "adminSheet"
    required property ChatViewModel chat
    readonly property alias console: adminConsole

    AdminConsole {
        id: adminConsole
        objectName: "adminConsole"
        onToast: text => sheet.chat.showToast(text)
    }

    component Section: Rectangle {
        default property alias rows: sectionColumn.data
        Layout.fillWidth: true
        Layout.leftMargin: 16
        Layout.rightMargin: 16
        implicitHeight: sectionColumn.implicitHeight + 24
        radius: 10
        color: Theme.zpPanel
        ColumnLayout {
            id: sectionColumn
            anchors.fill: parent
            anchors.margins: 12
            spacing: 10
        }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0
        SheetHeader {
            Layout.fillWidth: true
            title: "站长管理"
            trailingText: "完成"
            onTrailingClicked: sheet.close()
        }
        Flickable {
            Layout.fillWidth: true
            Layout.fillHeight: true
            contentHeight: form.implicitHeight + 24
            clip: true
            boundsBehavior: Flickable.StopAtBounds

            ColumnLayout {
                id: form
                width: parent.width
                spacing: 0

                SectionHeader { title: "大厅管理" }
                Section {
                    AdminFieldRow {
                        objectName: "maxOnline"
                        placeholder: "在线人数上限"
                        actionText: "设置"
                        inputHints: Qt.ImhFormattedNumbersOnly
                        value: adminConsole.maxOnline
                        onEdited: text => adminConsole.maxOnline = text
                        onTriggered: adminConsole.setLimit()
                    }
                    Text {
                        text: "0表示不限制"
                        font: Theme.zp(12)
                        color: Theme.zpTextDim
                    }
                    AdminFieldRow {
                        objectName: "hallName"
                        placeholder: "新大厅名称"
                        actionText: "改名"
                        value: adminConsole.hallName
                        onEdited: text => adminConsole.hallName = text
                        onTriggered: adminConsole.renameHall()
                    }
                    AbstractButton {
                        id: clearButton
                        objectName: "clearHallButton"
                        text: "清空大厅记录"
                        padding: 8
                        Accessible.role: Accessible.Button
                        Accessible.name: text
                        Accessible.onPressAction: adminConsole.clearHall()
                        Keys.onReturnPressed: adminConsole.clearHall()
                        Keys.onEnterPressed: adminConsole.clearHall()
                        onClicked: adminConsole.clearHall()
                        contentItem: Text { text: clearButton.text; font: Theme.zp(15); color: "#e5484d" }
                        background: Rectangle {
                            radius: 6
                            color: clearButton.down ? Theme.zpPanel2 : "transparent"
                            border.width: clearButton.visualFocus ? 1 : 0
                            border.color: "#e5484d"
                        }
                    }
                }

                SectionHeader { title: "用户管理" }
                Section {
                    AdminFieldRow {
                        objectName: "banUsername"
                        placeholder: "封禁用户名"
                        actionText: "封禁"
                        actionColor: "#e5484d"
                        value: adminConsole.banUsername
                        onEdited: text => adminConsole.banUsername = text
                        onTriggered: adminConsole.ban()
                    }
                    AdminFieldRow {
                        objectName: "unbanUsername"
                        placeholder: "解封用户名"
                        actionText: "解封"
                        value: adminConsole.unbanUsername
                        onEdited: text => adminConsole.unbanUsername = text
                        onTriggered: adminConsole.unban()
                    }
                }

                SectionHeader { title: "公告" }
                Section {
                    AdminFieldRow {
                        objectName: "announceText"
                        placeholder: "公告内容"
                        actionText: "发布公告"
                        value: adminConsole.announceText
                        onEdited: text => adminConsole.announceText = text
                        onTriggered: adminConsole.announce()
                    }
                }
            }
        }
    }
}
