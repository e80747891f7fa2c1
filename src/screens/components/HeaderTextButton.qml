import QtQuick
import QtQuick.Controls.Basic
import Zephlin.App

// A text button of a bar ("取消", "完成"); the emphasised one is the accent colour.
AbstractButton {
    id: button
    property bool emphasized: false
    padding: 8
    Accessible.role: Accessible.Button
    Accessible.name: text
    Accessible.onPressAction: button.clicked()
    Keys.onReturnPressed: button.clicked()
    Keys.onEnterPressed: button.clicked()
    opacity: enabled ? 1 : 0.4

    contentItem: Text {
        text: button.text
        font: Theme.zp(16, button.emphasized ? Font.DemiBold : Font.Normal)
        color: button.emphasized ? Theme.accent : Theme.zpTextDim
    }
    background: Rectangle {
        radius: 6
        color: button.down ? Theme.zpPanel2 : "transparent"
        FocusRing { control: button; radius: 6 }
    }
}
