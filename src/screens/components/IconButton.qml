import QtQuick
import QtQuick.Controls.Basic
import Zephlin.App

// A symbol button of a header (back, settings); `label` is what a screen reader says.
AbstractButton {
    id: button
    required property string symbol
    required property string label
    property color tint: Theme.zpText
    property real symbolSize: 18
    padding: 8
    implicitWidth: symbolSize + 2 * padding + 8
    implicitHeight: symbolSize + 2 * padding + 8
    text: label
    Accessible.role: Accessible.Button
    Accessible.name: label
    Accessible.onPressAction: button.clicked()
    Keys.onReturnPressed: button.clicked()
    Keys.onEnterPressed: button.clicked()

    contentItem: Item {
        SymbolIcon { anchors.centerIn: parent; kind: button.symbol; tint: button.tint; size: button.symbolSize }
    }
    background: Rectangle {
        radius: 8
        color: button.down ? Theme.zpPanel2 : "transparent"
        FocusRing { control: button; radius: 8 }
    }
}
