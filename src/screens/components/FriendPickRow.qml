import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Zephlin.App
import Zephlin.Images

// A friend to pick: avatar, name and a green check while picked. Pressing it toggles.
AbstractButton {
    id: row
    required property string name
    property var avatar
    property real avatarSize: 32
    property bool picked: false
    leftPadding: 16
    rightPadding: 16
    topPadding: 8
    bottomPadding: 8
    Accessible.role: Accessible.CheckBox
    Accessible.name: name
    Accessible.checked: picked
    Accessible.onPressAction: row.clicked()
    Keys.onReturnPressed: row.clicked()
    Keys.onEnterPressed: row.clicked()
    Keys.onSpacePressed: row.clicked()

    background: Rectangle {
        color: row.down ? Theme.zpPanel2 : Theme.zpPanel
        border.width: row.visualFocus ? 1 : 0
        border.color: Theme.accent
    }
    contentItem: RowLayout {
        spacing: 12
        AvatarView { name: row.name; avatarURL: row.avatar; size: row.avatarSize }
        Text {
            Layout.fillWidth: true
            text: row.name
            elide: Text.ElideRight
            textFormat: Text.PlainText
            font: Theme.zp(15)
            color: Theme.zpText
        }
        SymbolIcon { visible: row.picked; kind: "checkCircle"; tint: "#07c160"; size: 20 }
    }
}
