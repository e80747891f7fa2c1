import QtQuick
import QtQuick.Controls.Basic
import Zephlin.App
import "../components"

// A symbol of a moment's action row with its count beside it (shown also at 0).
AbstractButton {
    id: button
    required property string symbol
    required property string label
    property color tint: Theme.zpTextDim
    property int count: -1
    padding: 4
    Accessible.role: Accessible.Button
    Accessible.name: count >= 0 ? label + " " + count : label
    Accessible.onPressAction: button.clicked()
    Keys.onReturnPressed: button.clicked()
    Keys.onEnterPressed: button.clicked()

    contentItem: Row {
        spacing: 4
        SymbolIcon { anchors.verticalCenter: parent.verticalCenter; kind: button.symbol; tint: button.tint; size: 18 }
        Text {
            anchors.verticalCenter: parent.verticalCenter
            visible: button.count >= 0
            text: button.count
            font: Theme.zp(13)
            color: Theme.zpTextDim
        }
    }
    background: Rectangle {
        radius: 6
        color: button.down ? Theme.zpPanel2 : "transparent"
        border.width: button.visualFocus ? 2 : 0
        border.color: Theme.accent
    }
}
