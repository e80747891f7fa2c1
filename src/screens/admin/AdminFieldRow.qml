import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Zephlin.App
import "../components"

// A field with its action button beside it; Enter in the field presses the button.
RowLayout {
    id: row
    required property string placeholder
    required property string actionText
    // The console's field; typing reports each edit and the console's value flows back.
    property string value
    property int inputHints: Qt.ImhNone
    property color actionColor: "#07c160"
    signal edited(string text)
    signal triggered()
    Layout.fillWidth: true
    spacing: 10

    AppTextField {
        id: field
        objectName: row.objectName + "Field"
        Layout.fillWidth: true
        placeholderText: row.placeholder
        text: row.value
        inputMethodHints: Qt.ImhNoAutoUppercase | Qt.ImhNoPredictiveText | row.inputHints
        onTextEdited: row.edited(text)
        Keys.onReturnPressed: row.triggered()
        Keys.onEnterPressed: row.triggered()
    }
    AbstractButton {
        id: action
        objectName: row.objectName + "Button"
        text: row.actionText
        padding: 8
        Accessible.role: Accessible.Button
        Accessible.name: text
        Accessible.onPressAction: row.triggered()
        Keys.onReturnPressed: row.triggered()
        Keys.onEnterPressed: row.triggered()
        onClicked: row.triggered()
        contentItem: Text { text: action.text; font: Theme.zp(15, Font.DemiBold); color: row.actionColor }
        background: Rectangle {
            radius: 6
            color: action.down ? Theme.zpPanel2 : "transparent"
            border.width: action.visualFocus ? 1 : 0
            border.color: row.actionColor
        }
    }
}
