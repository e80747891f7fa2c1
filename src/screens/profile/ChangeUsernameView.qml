import QtQuick
import QtQuick.Layouts
import Zephlin.App
import "../components"

// The user-name sheet; the new name comes back from the server as the session's current user.
AccountSheet {
    id: sheet
    objectName: "changeUsernameSheet"
    required property AppState appState
    title: "更改用户名"
    form: ChangeUsernameForm { appState: sheet.appState }

    AppTextField {
        objectName: "newUsernameField"
        Layout.fillWidth: true
        placeholderText: "新用户名（2-20位）"
        onTextChanged: sheet.form.newUsername = text
    }
}
