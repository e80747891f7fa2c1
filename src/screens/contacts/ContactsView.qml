import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Zephlin.App
import Zephlin.Chat
import "../components"
import "../groups"

// The second tab: entry rows (new friends, add a friend, create and search groups), then every
// group and every friend. Choosing a room sets `activeRoom`, which the main screen presents as a
// chat over the tabs, as from the conversation list.
Rectangle {
    id: view
    objectName: "contactsView"
    required property AppState appState
    required property ChatViewModel chat
    property var activeRoom: null
    property bool showAddFriend: false
    property bool showCreateGroup: false
    property bool showSearchGroup: false
    property bool showFriendRequests: false
    color: Theme.zpBG

    function openRoom(room) {
        activeRoom = room
        chat.currentRoom = room
    }
    function closeRoom() { activeRoom = null }

    Flickable {
        id: flick
        anchors.fill: parent
        contentHeight: column.implicitHeight
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar { Accessible.name: "通讯录列表" }

        Column {
            id: column
            width: flick.width

            Text {
                width: parent.width
                leftPadding: 16
                rightPadding: 16
                topPadding: 16
                bottomPadding: 10
                text: "通讯录"
                font: Theme.zp(22, Font.Bold)
                color: Theme.zpText
                Accessible.role: Accessible.Heading
                Accessible.name: text
            }

            ContactRow {
                objectName: "newFriendsRow"
                width: parent.width
                visible: view.chat.pendingRequests.length > 0
                glyph: "验"
                colors: ["#07c160", "#3b82f6"]
                name: "新的朋友"
                subtitle: view.chat.pendingRequests.length + " 条等待处理"
                onClicked: view.showFriendRequests = true
            }
            ContactRow {
                objectName: "addFriendRow"
                width: parent.width
                glyph: "＋"
                name: "添加好友"
                onClicked: view.showAddFriend = true
            }
            ContactRow {
                objectName: "createGroupRow"
                width: parent.width
                glyph: "群"
                name: "创建群聊"
                onClicked: view.showCreateGroup = true
            }
            ContactRow {
                objectName: "searchGroupRow"
                width: parent.width
                glyph: "?"
                colors: ["#07c160", "#0ea5e9"]
                name: "搜索群聊"
                onClicked: view.showSearchGroup = true
            }

            SectionHeader { title: "群聊"; visible: view.chat.groups.length > 0 }
            Repeater {
                objectName: "groupRows"
                model: view.chat.groups
                delegate: ContactRow {
                    required property var modelData
                    width: column.width
                    name: modelData.name
                    avatar: modelData.avatar
                    subtitle: modelData.members.length + " 人"
                    onClicked: view.openRoom(view.chat.groupRoom(modelData.id, modelData.name))
                }
            }

            SectionHeader { title: "好友"; visible: view.chat.friends.length > 0 }
            Repeater {
                objectName: "friendRows"
                model: view.chat.friends
                delegate: ContactRow {
                    required property var modelData
                    width: column.width
                    name: modelData.username
                    avatar: modelData.avatar
                    online: view.chat.onlineUsers.indexOf(modelData.id) >= 0
                    subtitle: online ? "在线" : "离线"
                    onClicked: view.openRoom(view.chat.dmRoom(modelData.id, modelData.username))
                }
            }
        }
    }

    PopupLoader {
        active: view.showAddFriend
        onClosed: view.showAddFriend = false
        popup: AddFriendView {}
    }
    PopupLoader {
        active: view.showCreateGroup
        onClosed: view.showCreateGroup = false
        popup: CreateGroupView { chat: view.chat }
    }
    PopupLoader {
        active: view.showSearchGroup
        onClosed: view.showSearchGroup = false
        popup: SearchGroupView { chat: view.chat }
    }
    PopupLoader {
        active: view.showFriendRequests
        onClosed: view.showFriendRequests = false
        popup: FriendRequestsView { chat: view.chat }
    }
}
