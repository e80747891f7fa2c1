import QtQuick
import QtQuick.Layouts
import Zephlin.App
import Zephlin.Images
import "../components"

// A waiting friend request: the requester's picture (or the first character on a circle), name and
// the two answers.
Item {
    id: row
    required property var req
    signal action(string action)
    readonly property string displayName: req.fromName !== undefined && req.fromName !== null ? req.fromName : "未知用户"
    readonly property bool hasAvatar: req.fromAvatar !== undefined && req.fromAvatar !== null && req.fromAvatar.length > 0
    implicitHeight: layout.implicitHeight + 20
    Accessible.role: Accessible.ListItem
    Accessible.name: displayName + " 请求添加你为好友"

    RowLayout {
        id: layout
        anchors.fill: parent
        anchors.leftMargin: 16
        anchors.rightMargin: 16
        spacing: 12
        Loader {
            Layout.preferredWidth: 44
            Layout.preferredHeight: 44
            sourceComponent: row.hasAvatar ? avatar : initial
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
                text: "请求添加你为好友"
                font: Theme.zp(12)
                color: Theme.zpTextDim
            }
        }
        RequestActions {
            subject: row.displayName
            onChosen: action => row.action(action)
        }
    }

    Component {
        id: avatar
        AvatarView { name: row.req.fromName || ""; avatarURL: row.req.fromAvatar; size: 44 }
    }
    Component {
        id: initial
        Rectangle {
            radius: 22
            color: Theme.zpPanel2
            Text {
                anchors.centerIn: parent
                text: row.req.fromName ? ImageTools.firstCharacter(row.req.fromName) : "?"
                font: Theme.zp(16, Font.DemiBold)
                color: Theme.zpText
            }
        }
    }
}
