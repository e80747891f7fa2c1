import QtQuick
import Zephlin.App
import Zephlin.Images

// A rounded gradient square with a character (or a symbol) centred on it: the hall, request and
// entry rows.
GradientTile {
    id: tile
    property string glyph
    property string symbol        // a SymbolIcon kind, drawn instead of the glyph
    property font glyphFont: Theme.zp(16, Font.DemiBold)
    property color glyphColor: Theme.zpText
    property real size: 44
    width: size
    height: size
    implicitWidth: size
    implicitHeight: size
    radius: 10

    Text {
        anchors.centerIn: parent
        visible: tile.symbol.length === 0
        text: tile.glyph
        font: tile.glyphFont
        color: tile.glyphColor
    }
    Loader {
        anchors.centerIn: parent
        active: tile.symbol.length > 0
        sourceComponent: SymbolIcon { kind: tile.symbol; tint: tile.glyphColor; size: tile.size * 0.5 }
    }
}
