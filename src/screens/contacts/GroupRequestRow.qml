import QtQuick
import QtQuick.Layouts
import Zephlin.App
import Zephlin.Images
import "../components"

// A waiting application to join one of the user's groups: the applicant, the group and the answers.
Item {
    id: row
    required property var req
    signal action(string action)
    readonly property string displayName: req.fromName !== undefined && req.fromName !== null ? req.fromName : "未知用户"
    readonly property string groupLine: "申请加入「" + (req.groupName !== undefined && req.groupName !== null ? req.groupName : "未知群") + "」"
    implicitHeight: layout.implicitHeight + 20
    Accessible.role: Accessible.ListItem
    Accessible.name: displayName + " " + groupLine

    RowLayout {
        id: layout
        anchors.fill: parent
        anchors.leftMargin: 16
        anchors.rightMargin: 16
        spacing: 12
        GlyphTile {
            colors: ["#07c160", "#0ea5e9"]
            glyph: row.req.fromName ? ImageTools.firstCharacter(row.req.fromName) : "?"
            glyphFont.pixelSize: 18
            glyphFont.bold: true
            glyphColor: "white"
        }
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 2
            Text {
                Layout.fillWidth: true
                text: row.displayName
                elide: Text.ElideRight
                font: Theme.zp(15, Font.DemiBold)
                color: Theme.zpText
            }
            Text {
                Layout.fillWidth: true
                text: row.groupLine
                elide: Text.ElideRight
                font: Theme.zp(12)
                color: Theme.zpTextDim
            }
        }
        RequestActions {
            subject: row.displayName
            onChosen: action => row.action(action)
        }
    }
}
