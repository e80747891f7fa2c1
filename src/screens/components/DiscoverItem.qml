import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Zephlin.App
import Zephlin.Images

// One entry of the discover list: a gradient glyph tile, the label and a chevron.
AbstractButton {
    id: item
    required property string glyph
    required property string label
    implicitHeight: row.implicitHeight + 28
    Accessible.role: Accessible.Button
    Accessible.name: label
    Accessible.onPressAction: item.clicked()
    Keys.onReturnPressed: item.clicked()
    Keys.onEnterPressed: item.clicked()

    background: Rectangle {
        radius: 12
        color: item.down ? Theme.zpPanel2 : Theme.zpPanel
        FocusRing { control: item; radius: 14 }
    }
    contentItem: RowLayout {
        id: row
        spacing: 14
        anchors.fill: parent
        anchors.leftMargin: 16
        anchors.rightMargin: 16
        GradientTile {
            Layout.preferredWidth: 40
            Layout.preferredHeight: 40
            radius: 10
            colors: ["#3b82f6", "#8b5cf6"]
            Text {
                anchors.centerIn: parent
                text: item.glyph
                font: Theme.zp(18, Font.Bold)
                color: Theme.zpText
            }
        }
        Text {
            text: item.label
            font: Theme.zp(16, Font.Medium)
            color: Theme.zpText
        }
        Item { Layout.fillWidth: true }
        Text {
            text: "›"
            font.pixelSize: 22
            color: Theme.zpTextDim
        }
    }
}
