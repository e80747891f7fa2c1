import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Zephlin.App
import Zephlin.Images
import "../components"

// One row of the conversation list: avatar, name (with an online dot), a one-line preview and,
// for the request rows, a count badge. The whole row is the button.
AbstractButton {
    id: row
    required property string kind
    required property string name
    required property string preview
    required property int count
    required property bool online
    required property var avatar
    readonly property bool isRoom: kind === "group" || kind === "dm"

    implicitHeight: layout.implicitHeight + 20
    leftPadding: 16
    rightPadding: 16
    Accessible.role: Accessible.Button
    Accessible.name: name
    Accessible.description: (online ? "在线，" : "") + preview + (count > 0 ? "，" + count + " 条" : "")
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
            Layout.preferredWidth: row.isRoom ? 38 : 44
            Layout.preferredHeight: row.isRoom ? 38 : 44
            sourceComponent: row.kind === "global" ? hallTile
                           : row.kind === "friendRequests" ? friendTile
                           : row.kind === "groupRequests" ? groupTile : avatarView
        }
        ColumnLayout {
            Layout.fillWidth: true
            // Long previews elide instead of pushing the badge out of the row.
            Layout.preferredWidth: 1
            spacing: 3
            RowLayout {
                spacing: 6
                Layout.fillWidth: true
                Text {
                    Layout.fillWidth: !row.online
                    Layout.maximumWidth: layout.width - 120
                    text: row.name
                    elide: Text.ElideRight
                    font: Theme.zp(15, Font.Medium)
                    color: Theme.zpText
                }
                Rectangle {
                    objectName: "onlineDot"
                    visible: row.online
                    width: 6
                    height: 6
                    radius: 3
                    color: Theme.accent
                }
                Item { Layout.fillWidth: row.online }
            }
            Text {
                Layout.fillWidth: true
                text: row.preview
                elide: Text.ElideRight
                maximumLineCount: 1
                textFormat: Text.PlainText
                // One line: a multi-line message previews as its first line.
                wrapMode: Text.NoWrap
                font: Theme.zp(12)
                color: Theme.zpTextDim
            }
        }
        CountBadge { count: row.count }
    }

    Component {
        id: hallTile
        GlyphTile { colors: ["#07c160", "#0ea5e9"]; symbol: "globe" }
    }
    Component {
        id: friendTile
        GlyphTile { colors: ["#07c160", "#3b82f6"]; glyph: "验" }
    }
    Component {
        id: groupTile
        GlyphTile { colors: ["#f59e0b", "#ef4444"]; glyph: "群" }
    }
    Component {
        id: avatarView
        AvatarView { name: row.name; avatarURL: row.avatar; size: 38 }
    }
}
