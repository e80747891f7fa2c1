import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Zephlin.App
import Zephlin.Images
import "../components"

// A member in the group settings: avatar, name, the "群主" badge for the owner and, when the
// viewer may remove this member, a red remove button that acts at once.
Rectangle {
    id: row
    required property var member
    property bool removable: false
    signal remove()
    implicitHeight: layout.implicitHeight + 16
    color: Theme.zpPanel

    RowLayout {
        id: layout
        anchors.fill: parent
        anchors.leftMargin: 16
        anchors.rightMargin: 12
        spacing: 12
        AvatarView { name: row.member.name; avatarURL: row.member.avatar; size: 36 }
        Text {
            objectName: "memberName"
            text: row.member.name
            elide: Text.ElideRight
            textFormat: Text.PlainText
            Layout.maximumWidth: layout.width - 150
            font: Theme.zp(15)
            color: Theme.zpText
        }
        GradientTile {
            objectName: "ownerBadge"
            visible: row.member.isOwner
            colors: ["#07c160", "#0ea5e9"]
            radius: 4
            implicitWidth: badge.implicitWidth + 10
            implicitHeight: badge.implicitHeight + 4
            Text { id: badge; anchors.centerIn: parent; text: "群主"; font: Theme.zp(10, Font.DemiBold); color: "white" }
        }
        Item { Layout.fillWidth: true }
        IconButton {
            objectName: "removeButton"
            visible: row.removable
            symbol: "minusCircle"
            label: "移除 " + row.member.name
            tint: "#e5484d"
            onClicked: row.remove()
        }
    }
}
