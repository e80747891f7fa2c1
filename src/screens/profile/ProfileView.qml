import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Zephlin.App
import Zephlin.Chat
import Zephlin.Images
import Zephlin.Update
import "../components"
import "../admin"
import Zephlin.Screens

// The "我的" tab: the signed-in user's card (the avatar opens the photo picker) and the menu of
// preferences, account sheets, diagnostics and updates, then sign-out.
Rectangle {
    id: profile
    objectName: "profileView"
    required property AppState appState
    required property ChatViewModel chat
    readonly property var user: appState.currentUser
    // The administrator's row shows for the session's flag or the account's role; the tag only
    // for the flag.
    readonly property bool showsAdmin: appState.isAdmin || user.role === "admin"
    property bool showChangeUsername: false
    property bool showChangePassword: false
    property bool showFontSize: false
    property bool showAdmin: false
    property bool showServerConfig: false
    property bool showChangelog: false
    property bool showLogShare: false
    readonly property alias model: profileModel
    color: Theme.zpBG

    ProfileViewModel {
        id: profileModel
        appState: profile.appState
        onAvatarFailed: error => profile.chat.showToast(error)
    }

    // The menu in its order; `action` runs on a tap.
    readonly property var menu: [
        { title: "⚙ 站长管理", admin: true, action: () => profile.showAdmin = true },
        { title: "日间 / 夜间模式", action: () => profileModel.toggleTheme() },
        { title: "字体大小", action: () => { profileModel.noteOpen("font size view"); profile.showFontSize = true } },
        { title: "更改用户名", action: () => { profileModel.noteOpen("change username"); profile.showChangeUsername = true } },
        { title: "更改密码", action: () => { profileModel.noteOpen("change password"); profile.showChangePassword = true } },
        { title: "服务器设置", action: () => { profileModel.noteOpen("server config"); profile.showServerConfig = true } },
        { title: "导出调试日志", action: () => profile.showLogShare = profileModel.exportLog() },
        { title: "检查更新", action: () => AppUpdateChecker.checkAndPrompt() },
        { title: "📋 更新日志", action: () => profile.showChangelog = true }
    ]
    readonly property var visibleMenu: menu.filter(entry => !entry.admin || showsAdmin)

    function pickAvatar(file) { profileModel.changeAvatar(file) }

    Flickable {
        anchors.fill: parent
        contentHeight: page.implicitHeight + 32
        clip: true
        boundsBehavior: Flickable.StopAtBounds

        ColumnLayout {
            id: page
            x: 16
            y: 16
            width: parent.width - 32
            spacing: 10

            Text {
                text: "我的"
                font: Theme.zp(22, Font.Bold)
                color: Theme.zpText
                Accessible.role: Accessible.Heading
                Accessible.name: text
            }

            // The user's card.
            Rectangle {
                Layout.fillWidth: true
                Layout.topMargin: 6
                Layout.bottomMargin: 6
                implicitHeight: card.implicitHeight + 32
                radius: 12
                color: Theme.zpPanel
                RowLayout {
                    id: card
                    anchors.fill: parent
                    anchors.margins: 16
                    spacing: 14
                    AbstractButton {
                        id: avatarButton
                        objectName: "avatarButton"
                        implicitWidth: 60
                        implicitHeight: 60
                        text: "更换头像"
                        Accessible.role: Accessible.Button
                        Accessible.name: text
                        Accessible.onPressAction: picker.open()
                        Keys.onReturnPressed: picker.open()
                        Keys.onEnterPressed: picker.open()
                        onClicked: picker.open()
                        contentItem: AvatarView {
                            objectName: "profileAvatar"
                            name: profile.user.username || ""
                            avatarURL: profile.user.avatar
                            size: 60
                            gradient: ["#f59e0b", "#ef4444"]
                        }
                        background: Rectangle {
                            color: "transparent"
                            radius: 14
                            border.width: avatarButton.visualFocus ? 2 : 0
                            border.color: Theme.accent
                        }
                        Rectangle {
                            x: parent.width - 16
                            y: parent.height - 16
                            width: 20
                            height: 20
                            radius: 10
                            color: "#07c160"
                            SymbolIcon {
                                anchors.centerIn: parent
                                kind: "camera"
                                size: Theme.zp(10).pixelSize
                                tint: "white"
                            }
                        }
                    }
                    Column {
                        Layout.fillWidth: true
                        spacing: 4
                        Row {
                            spacing: 8
                            Text {
                                objectName: "profileName"
                                anchors.verticalCenter: parent.verticalCenter
                                width: Math.min(implicitWidth, card.width - 140)
                                text: profile.user.username || ""
                                font: Theme.zp(17, Font.DemiBold)
                                color: Theme.zpText
                                elide: Text.ElideRight
                                Accessible.name: text
                            }
                            Rectangle {
                                objectName: "adminTag"
                                anchors.verticalCenter: parent.verticalCenter
                                visible: profile.appState.isAdmin
                                width: tagText.implicitWidth + 12
                                height: tagText.implicitHeight + 4
                                radius: 4
                                gradient: Gradient {
                                    orientation: Gradient.Horizontal
                                    GradientStop { position: 0; color: "#f59e0b" }
                                    GradientStop { position: 1; color: "#ef4444" }
                                }
                                Text {
                                    id: tagText
                                    anchors.centerIn: parent
                                    text: "站长"
                                    font: Theme.zp(10, Font.DemiBold)
                                    color: "white"
                                    Accessible.name: text
                                }
                            }
                        }
                        Text {
                            text: "在线"
                            font: Theme.zp(12)
                            color: "#07c160"
                            Accessible.name: text
                        }
                    }
                }
            }

            Repeater {
                model: profile.visibleMenu
                delegate: ProfileMenuButton {
                    required property var modelData
                    objectName: "menu_" + modelData.title
                    text: modelData.title
                    framed: modelData.admin === true
                    onClicked: modelData.action()
                }
            }

            AbstractButton {
                id: logoutButton
                objectName: "logoutButton"
                Layout.fillWidth: true
                Layout.topMargin: 10
                implicitHeight: logoutLabel.implicitHeight + 28
                text: "退出登录"
                Accessible.role: Accessible.Button
                Accessible.name: text
                Accessible.onPressAction: profileModel.logout()
                Keys.onReturnPressed: profileModel.logout()
                Keys.onEnterPressed: profileModel.logout()
                onClicked: profileModel.logout()
                contentItem: Text {
                    id: logoutLabel
                    text: logoutButton.text
                    font: Theme.zp(15)
                    color: "#e5484d"
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                }
                background: Rectangle {
                    radius: 10
                    color: logoutButton.down ? Theme.zpPanel2 : Theme.zpPanel
                    border.width: logoutButton.visualFocus ? 1 : 0
                    border.color: "#e5484d"
                }
            }
        }
    }

    ImagePicker {
        id: picker
        onPicked: file => profile.pickAvatar(file)
    }

    UpdateDialog {}

    PopupLoader {
        objectName: "fontSizeLoader"
        active: profile.showFontSize
        onClosed: profile.showFontSize = false
        popup: FontSizeView { appState: profile.appState }
    }
    PopupLoader {
        objectName: "usernameLoader"
        active: profile.showChangeUsername
        onClosed: profile.showChangeUsername = false
        popup: ChangeUsernameView { appState: profile.appState }
    }
    PopupLoader {
        objectName: "passwordLoader"
        active: profile.showChangePassword
        onClosed: profile.showChangePassword = false
        popup: ChangePasswordView { appState: profile.appState }
    }
    PopupLoader {
        objectName: "serverConfigLoader"
        active: profile.showServerConfig
        onClosed: profile.showServerConfig = false
        popup: Sheet {
            id: serverSheet
            objectName: "serverConfigSheet"
            ServerConfigView {
                anchors.fill: parent
                onClosed: serverSheet.close()
            }
        }
    }
    PopupLoader {
        objectName: "adminLoader"
        active: profile.showAdmin
        onClosed: profile.showAdmin = false
        popup: AdminView { chat: profile.chat }
    }
    PopupLoader {
        objectName: "changelogLoader"
        active: profile.showChangelog
        onClosed: profile.showChangelog = false
        popup: ChangelogView {
            objectName: "changelogSheet"
            Component.onCompleted: open()
        }
    }
    PopupLoader {
        objectName: "logShareLoader"
        active: profile.showLogShare
        onClosed: profile.showLogShare = false
        popup: AlertDialog {
            id: shared
            objectName: "logShareAlert"
            title: "调试日志已导出"
            message: profileModel.logShareMessage
            DialogTextButton {
                text: "好"
                onClicked: shared.close()
            }
        }
    }
}
