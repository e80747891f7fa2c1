import QtQuick
import QtQuick.Controls.Basic
import Zephlin.App

// The framed text field of the forms; masked when isSecure. No validation of its own.
TextField {
    id: field
    property bool isSecure: false

    echoMode: isSecure ? TextInput.Password : TextInput.Normal
    // No automatic capitalisation or correction, for names and passwords alike.
    inputMethodHints: Qt.ImhNoAutoUppercase | Qt.ImhNoPredictiveText | (isSecure ? Qt.ImhSensitiveData : Qt.ImhNone)
    color: Theme.zpText
    placeholderTextColor: Theme.zpTextDim
    selectionColor: Theme.accent
    leftPadding: 14
    rightPadding: 14
    topPadding: 11
    bottomPadding: 11
    Accessible.name: placeholderText

    background: Rectangle {
        radius: 8
        color: Theme.zpBG
        border.width: 1
        border.color: field.activeFocus ? Theme.accent : Theme.zpBorder
    }
}
