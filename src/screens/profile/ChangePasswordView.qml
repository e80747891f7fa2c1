import QtQuick
import QtQuick.Layouts
import Zephlin.App
import "../components"

// The password sheet: the current password, the new one and its confirmation, all masked.
AccountSheet {
    id: sheet
    objectName: "changePasswordSheet"
    required property AppState appState
    title: "更改密码"
    form: ChangePasswordForm { appState: sheet.appState }

    AppTextField {
        objectName: "oldPasswordField"
        Layout.fillWidth: true
        isSecure: true
        placeholderText: "当前密码"
        onTextChanged: sheet.form.oldPassword = text
    }
    AppTextField {
        objectName: "newPasswordField"
        Layout.fillWidth: true
        isSecure: true
        placeholderText: "新密码（4-64位）"
        onTextChanged: sheet.form.newPassword = text
    }
    AppTextField {
        objectName: "confirmPasswordField"
        Layout.fillWidth: true
        isSecure: true
        placeholderText: "确认新密码"
        onTextChanged: sheet.form.confirmPassword = text
    }
}
