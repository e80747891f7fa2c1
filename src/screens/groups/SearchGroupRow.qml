import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Zephlin.App
import "../components"

// One search result: the group's initial on a tile, its name, member count and owner, and
// "申请加入".
Item {
    id: row
    required property var group
    readonly property string name: group.name || ""
    readonly property string detail: (group.memberCount || 0) + "人 · 群主: " + (group.ownerName || "未知")
    signal apply()
    implicitHeight: layout.implicitHeight + 20

    RowLayout {
        id: layout
        anchors.fill: parent
        anchors.leftMargin: 16
        anchors.rightMargin: 16
        spacing: 12
        GlyphTile {
            colors: ["#07c160", "#0ea5e9"]
            glyph: row.name.length > 0 ? Array.from(row.name)[0] : "?"
            glyphFont: Qt.font({ pixelSize: 18, bold: true })
            glyphColor: "white"
        }
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 2
            Text {
                Layout.fillWidth: true
                text: row.name
                elide: Text.ElideRight
                textFormat: Text.PlainText
                font: Theme.zp(15, Font.DemiBold)
                color: Theme.zpText
            }
            Text {
                objectName: "detail"
                Layout.fillWidth: true
                text: row.detail
                elide: Text.ElideRight
                textFormat: Text.PlainText
                font: Theme.zp(12)
                color: Theme.zpTextDim
            }
        }
        AbstractButton {
            id: applyButton
            objectName: "applyButton"
            text: "申请加入"
            leftPadding: 14
            rightPadding: 14
            topPadding: 7
            bottomPadding: 7
            Accessible.role: Accessible.Button
            Accessible.name: text + " " + row.name
            Accessible.onPressAction: row.apply()
            Keys.onReturnPressed: row.apply()
            Keys.onEnterPressed: row.apply()
            onClicked: row.apply()
            contentItem: Text { text: applyButton.text; font: Theme.zp(13, Font.DemiBold); color: "white" }
            background: Rectangle {
                radius: 8
                color: applyButton.down ? Qt.darker("#07c160", 1.1) : "#07c160"
                border.width: applyButton.visualFocus ? 2 : 0
                border.color: Theme.zpText
            }
        }
    }
}
