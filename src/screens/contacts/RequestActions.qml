import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Zephlin.App

// "通过" and "拒绝" side by side; `chosen` carries "accept" or "deny".
RowLayout {
    id: actions
    required property string subject
    signal chosen(string action)
    spacing: 8

    Repeater {
        model: [{ label: "通过", action: "accept" }, { label: "拒绝", action: "deny" }]
        delegate: AbstractButton {
            id: button
            required property var modelData
            readonly property bool primary: modelData.action === "accept"
            text: modelData.label
            leftPadding: 14
            rightPadding: 14
            topPadding: 6
            bottomPadding: 6
            Accessible.role: Accessible.Button
            Accessible.name: modelData.label + " " + actions.subject
            Accessible.onPressAction: button.clicked()
            Keys.onReturnPressed: button.clicked()
            Keys.onEnterPressed: button.clicked()
            onClicked: actions.chosen(modelData.action)
            contentItem: Text {
                text: button.text
                font: Theme.zp(13, Font.DemiBold)
                color: button.primary ? "white" : Theme.zpText
            }
            background: Rectangle {
                radius: 8
                color: button.primary ? Theme.accent : Theme.zpPanel2
                opacity: button.down ? 0.8 : 1
                border.width: button.visualFocus ? 2 : 0
                border.color: Theme.zpText
            }
        }
    }
}
