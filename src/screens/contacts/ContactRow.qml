import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Zephlin.App
import Zephlin.Images
import "../components"

// One row of the contacts tab: a gradient glyph tile (the entry rows) or an avatar (groups and
// friends), the name, an optional subtitle (green when online) and a chevron. The row is the button.
AbstractButton {
    id: row
    required property string name
    property string subtitle
    property bool online: false
    // Set for an entry row: the tile's character and its two colours.
    property string glyph
    property var colors: ["#3b82f6", "#8b5cf6"]
    property var avatar

    implicitHeight: layout.implicitHeight + 20
    leftPadding: 16
    rightPadding: 16
    Accessible.role: Accessible.Button
    Accessible.name: name
    Accessible.description: subtitle
    Accessible.onPressAction: row.clicked()
    Keys.onReturnPressed: row.clicked()
    Keys.onEnterPressed: row.clicked()

    background: Rectangle {
        color: row.down ? Theme.zpPanel2 : (row.visualFocus ? Theme.zpPanel : "transparent")
        border.width: row.visualFocus ? 1 : 0
        border.color: Theme.accent
    }

    contentItem: RowLayout {
        id: layout
        spacing: 12
        Loader {
            Layout.preferredWidth: row.glyph.length > 0 ? 44 : 40
            Layout.preferredHeight: Layout.preferredWidth
            sourceComponent: row.glyph.length > 0 ? tile : avatarView
        }
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 2
            Text {
                Layout.fillWidth: true
                text: row.name
                elide: Text.ElideRight
                textFormat: Text.PlainText
                font: Theme.zp(15, Font.Medium)
                color: Theme.zpText
            }
            Text {
                objectName: "subtitle"
                visible: row.subtitle.length > 0
                text: row.subtitle
                font: Theme.zp(12)
                color: row.online ? "#07c160" : Theme.zpTextDim
            }
        }
        SymbolIcon { kind: "chevronRight"; tint: Theme.zpTextDim; size: 12 }
    }

    Component {
        id: tile
        GlyphTile { glyph: row.glyph; colors: row.colors; glyphFont: Theme.zp(18, Font.DemiBold) }
    }
    Component {
        id: avatarView
        AvatarView { name: row.name; avatarURL: row.avatar; size: 40 }
    }
}
