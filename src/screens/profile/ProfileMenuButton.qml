import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Zephlin.App
import "../components"

// One row of the profile menu: the title, a chevron, on a rounded panel. The administrator's row
// is framed in the own-avatar gradient.
AbstractButton {
    id: row
    property bool framed: false
    Layout.fillWidth: true
    implicitHeight: label.implicitHeight + 28
    Accessible.role: Accessible.Button
    Accessible.name: text
    Accessible.onPressAction: row.clicked()
    Keys.onReturnPressed: row.clicked()
    Keys.onEnterPressed: row.clicked()

    background: Rectangle {
        radius: 10
        gradient: Gradient {
            orientation: Gradient.Horizontal
            GradientStop { position: 0; color: row.framed ? "#f59e0b" : (row.visualFocus ? Theme.accent : Theme.zpPanel) }
            GradientStop { position: 1; color: row.framed ? "#ef4444" : (row.visualFocus ? Theme.accent : Theme.zpPanel) }
        }
        Rectangle {
            anchors.fill: parent
            anchors.margins: row.framed || row.visualFocus ? 1 : 0
            radius: 9
            color: row.down ? Theme.zpPanel2 : Theme.zpPanel
        }
    }
    contentItem: RowLayout {
        spacing: 8
        Text {
            id: label
            Layout.fillWidth: true
            leftPadding: 16
            text: row.text
            font: Theme.zp(15)
            color: Theme.zpText
            elide: Text.ElideRight
        }
        SymbolIcon {
            Layout.rightMargin: 16
            kind: "chevronRight"
            size: Theme.zp(12).pixelSize
            tint: Theme.zpTextDim
        }
    }
}
