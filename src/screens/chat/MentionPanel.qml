import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Zephlin.App
import Zephlin.Images

// The people who can be mentioned, filtered by what follows the last "@"; at most 200 points high.
// Focus stays in the input field, which moves `currentIndex` with Up/Down and picks with Enter.
Rectangle {
    id: panel
    required property var users
    property int currentIndex: 0
    signal chosen(string username)

    implicitHeight: Math.min(200, users.length === 0 ? empty.implicitHeight + 24 : list.contentHeight)
    color: Theme.zpPanel
    border.width: 1
    border.color: Theme.zpBorder
    Accessible.role: Accessible.List
    Accessible.name: "提及用户"

    onUsersChanged: currentIndex = 0

    function moveSelection(step) {
        if (users.length > 0)
            currentIndex = (currentIndex + step + users.length) % users.length
    }
    function chooseCurrent() {
        if (users.length > 0)
            chosen(users[Math.min(currentIndex, users.length - 1)].username)
    }

    Text {
        id: empty
        objectName: "mentionEmpty"
        anchors.centerIn: parent
        visible: panel.users.length === 0
        text: "无匹配用户"
        font: Theme.zp(14)
        color: Theme.zpTextDim
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }

    ListView {
        id: list
        objectName: "mentionList"
        anchors.fill: parent
        clip: true
        visible: panel.users.length > 0
        model: panel.users
        currentIndex: panel.currentIndex
        boundsBehavior: Flickable.StopAtBounds
        delegate: AbstractButton {
            id: option
            required property var modelData
            required property int index
            width: ListView.view.width
            implicitHeight: 48
            focusPolicy: Qt.NoFocus
            Accessible.role: Accessible.Button
            Accessible.name: modelData.username
            Accessible.onPressAction: panel.chosen(modelData.username)
            onClicked: panel.chosen(modelData.username)
            background: Rectangle {
                color: option.index === panel.currentIndex || option.down ? Theme.zpPanel2 : "transparent"
            }
            contentItem: RowLayout {
                spacing: 10
                anchors.fill: parent
                anchors.leftMargin: 12
                anchors.rightMargin: 12
                AvatarView { name: option.modelData.username; avatarURL: option.modelData.avatar; size: 32 }
                Text {
                    Layout.fillWidth: true
                    text: option.modelData.username
                    elide: Text.ElideRight
                    font: Theme.zp(15)
                    color: Theme.zpText
                }
            }
        }
    }
}
