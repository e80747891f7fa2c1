import QtQuick
import QtQuick.Controls.Basic
import Zephlin.App

// A form's action row: the label centred on a panel, green, or red for a destructive action.
AbstractButton {
    id: button
    property bool destructive: false
    implicitHeight: label.implicitHeight + 24
    Accessible.role: Accessible.Button
    Accessible.name: text
    Accessible.onPressAction: button.clicked()
    Keys.onReturnPressed: button.clicked()
    Keys.onEnterPressed: button.clicked()
    opacity: enabled ? 1 : 0.4

    contentItem: Text {
        id: label
        text: button.text
        font: Theme.zp(16)
        color: button.destructive ? "#e5484d" : "#07c160"
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }
    background: Rectangle {
        radius: 10
        color: button.down ? Theme.zpPanel2 : Theme.zpPanel
        FocusRing { control: button; radius: 10 }
    }
}
