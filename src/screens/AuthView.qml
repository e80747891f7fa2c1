import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Zephlin.App
import "components"

// Sign-in and registration on one card, with the server settings one tap away.
Rectangle {
    id: auth
    objectName: "authView"
    required property AppState appState
    readonly property alias form: form
    property bool showServerConfig: false
    color: Theme.zpBG

    // Keyboard users start in the user name field.
    Component.onCompleted: Qt.callLater(loginUsername.forceActiveFocus)

    AuthViewModel {
        id: form
        objectName: "authForm"
        appState: auth.appState
    }

    // Two soft glows: green from the top-leading corner, blue from the bottom-trailing one.
    RadialGlow { centerX: 0; centerY: 0; radius: 400; glowColor: Qt.rgba(7 / 255, 193 / 255, 96 / 255, 0.08) }
    RadialGlow { centerX: auth.width; centerY: auth.height; radius: 350; glowColor: Qt.rgba(59 / 255, 130 / 255, 246 / 255, 0.06) }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0
        // Hidden under the server settings, so neither Tab nor a screen reader reaches it there.
        visible: !serverConfig.item

        Item { Layout.fillHeight: true }

        Text {
            Layout.alignment: Qt.AlignHCenter
            text: "Zephlin"
            font: Theme.zp(30, Font.Bold, 2)
            color: Theme.zpText
            Accessible.role: Accessible.Heading
            Accessible.name: text
        }
        Text {
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 6
            text: "简约 · 轻量 · 随时聊天"
            font: Theme.zp(14)
            color: Theme.zpTextDim
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }

        Rectangle {
            id: card
            Layout.fillWidth: true
            Layout.leftMargin: 20
            Layout.rightMargin: 20
            Layout.topMargin: 28
            implicitHeight: cardColumn.implicitHeight + 48
            radius: 14
            color: Theme.zpPanel
            border.width: 1
            border.color: Theme.zpBorder

            ColumnLayout {
                id: cardColumn
                anchors.fill: parent
                anchors.margins: 24
                spacing: 14

                RowLayout {
                    Layout.fillWidth: true
                    spacing: 0
                    Accessible.role: Accessible.PageTabList
                    Accessible.name: "登录或注册"
                    AuthTabButton {
                        objectName: "loginTab"
                        title: "登录"
                        active: form.tab === AuthViewModel.Login
                        onClicked: form.tab = AuthViewModel.Login
                    }
                    AuthTabButton {
                        objectName: "registerTab"
                        title: "注册"
                        active: form.tab === AuthViewModel.Register
                        onClicked: form.tab = AuthViewModel.Register
                    }
                }

                // Sign-in form
                ColumnLayout {
                    visible: form.tab === AuthViewModel.Login
                    Layout.fillWidth: true
                    spacing: 12
                    AppTextField {
                        id: loginUsername
                        objectName: "loginUsername"
                        Layout.fillWidth: true
                        placeholderText: "用户名"
                        text: form.loginUsername
                        onTextChanged: form.loginUsername = text
                        onAccepted: form.doLogin()
                    }
                    AppTextField {
                        objectName: "loginPassword"
                        Layout.fillWidth: true
                        isSecure: true
                        placeholderText: "密码"
                        text: form.loginPassword
                        onTextChanged: form.loginPassword = text
                        onAccepted: form.doLogin()
                    }
                    MessageLine { message: form.message }
                    PrimaryButton {
                        objectName: "loginButton"
                        Layout.fillWidth: true
                        title: form.isLoading ? "登录中..." : "登 录"
                        isDisabled: form.isLoading
                        onClicked: form.doLogin()
                    }
                }

                // Registration form
                ColumnLayout {
                    visible: form.tab === AuthViewModel.Register
                    Layout.fillWidth: true
                    spacing: 12
                    AppTextField {
                        objectName: "regUsername"
                        Layout.fillWidth: true
                        placeholderText: "用户名（2-20位字母/数字/中文）"
                        text: form.regUsername
                        onTextChanged: form.regUsername = text
                        onAccepted: form.doRegister()
                    }
                    AppTextField {
                        objectName: "regPassword"
                        Layout.fillWidth: true
                        isSecure: true
                        placeholderText: "密码（4-64位）"
                        text: form.regPassword
                        onTextChanged: form.regPassword = text
                        onAccepted: form.doRegister()
                    }
                    AppTextField {
                        objectName: "regPassword2"
                        Layout.fillWidth: true
                        isSecure: true
                        placeholderText: "确认密码"
                        text: form.regPassword2
                        onTextChanged: form.regPassword2 = text
                        onAccepted: form.doRegister()
                    }
                    MessageLine { message: form.message }
                    PrimaryButton {
                        objectName: "registerButton"
                        Layout.fillWidth: true
                        title: form.isLoading ? "注册中..." : "注 册"
                        isDisabled: form.isLoading
                        onClicked: form.doRegister()
                    }
                    Text {
                        Layout.fillWidth: true
                        text: "本站不支持找回密码，请妥善保管自己的密码。"
                        font: Theme.zp(12)
                        color: Theme.zpTextDim
                        horizontalAlignment: Text.AlignHCenter
                        wrapMode: Text.Wrap
                        Accessible.role: Accessible.StaticText
                        Accessible.name: text
                    }
                }
            }
        }

        Text {
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 18
            text: "无需手机号与实名，注册即可开聊"
            font: Theme.zp(12)
            color: Theme.zpTextDim
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }

        Item { Layout.fillHeight: true }

        AbstractButton {
            id: serverButton
            objectName: "serverSettingsButton"
            Layout.alignment: Qt.AlignHCenter
            Layout.bottomMargin: 20
            text: "服务器设置"
            Accessible.role: Accessible.Button
            Accessible.name: text
            Accessible.onPressAction: clicked()
            Keys.onReturnPressed: clicked()
            Keys.onEnterPressed: clicked()
            contentItem: Text { text: "服务器设置"; font: Theme.zp(12); color: Theme.zpTextDim }
            background: FocusRing { control: serverButton; radius: 6 }
            onClicked: auth.showServerConfig = true
        }
    }

    // The server settings sheet slides up over the card.
    Loader {
        id: serverConfig
        objectName: "serverConfigSheet"
        anchors.fill: parent
        active: auth.showServerConfig
        sourceComponent: ServerConfigView {
            onClosed: {
                auth.showServerConfig = false
                serverButton.forceActiveFocus(Qt.OtherFocusReason)
            }
        }
    }
}
