import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Zephlin.App
import Zephlin.Chat
import "../components"
import "../contacts"

// The first tab: the hall, the request rows, then every group and friend with the preview of the
// latest message; the search text filters groups and friends only. Choosing a room sets
// `activeRoom`, which the main screen presents as a chat over the tabs.
Rectangle {
    id: view
    objectName: "messagesView"
    required property AppState appState
    required property ChatViewModel chat
    property alias searchText: search.text
    property var activeRoom: null
    property bool showFriendRequests: false
    property bool showGroupRequests: false
    readonly property ConversationListModel conversations: chat.conversations
    color: Theme.zpBG

    function openRoom(room) {
        activeRoom = room
        chat.currentRoom = room
    }
    // Only the room goes: the chat state keeps its current room and this tab its search.
    function closeRoom() { activeRoom = null }

    Binding { target: view.conversations; property: "searchText"; value: search.text }
    Binding { target: view.conversations; property: "hallName"; value: view.appState.hallName }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        Text {
            Layout.fillWidth: true
            leftPadding: 16
            rightPadding: 16
            topPadding: 16
            bottomPadding: 10
            text: "消息"
            font: Theme.zp(22, Font.Bold)
            color: Theme.zpText
            Accessible.role: Accessible.Heading
            Accessible.name: text
        }

        Rectangle {
            Layout.fillWidth: true
            Layout.leftMargin: 16
            Layout.rightMargin: 16
            Layout.bottomMargin: 10
            implicitHeight: searchRow.implicitHeight + 20
            radius: 8
            color: Theme.zpPanel
            border.width: search.activeFocus ? 1 : 0
            border.color: Theme.accent
            RowLayout {
                id: searchRow
                anchors.fill: parent
                anchors.leftMargin: 12
                anchors.rightMargin: 12
                spacing: 8
                SymbolIcon { kind: "search"; tint: Theme.zpTextDim; size: 16 }
                TextField {
                    id: search
                    objectName: "conversationSearch"
                    Layout.fillWidth: true
                    placeholderText: "搜索会话"
                    placeholderTextColor: Theme.zpTextDim
                    color: Theme.zpText
                    font: Theme.zp(15)
                    padding: 0
                    background: null
                    inputMethodHints: Qt.ImhNoAutoUppercase | Qt.ImhNoPredictiveText
                    Accessible.name: placeholderText
                    Keys.onEscapePressed: event => { event.accepted = text.length > 0; text = "" }
                }
            }
        }

        Rectangle {
            objectName: "announcementBanner"
            visible: view.chat.announcement.length > 0
            Layout.fillWidth: true
            Layout.leftMargin: 16
            Layout.rightMargin: 16
            Layout.bottomMargin: 10
            implicitHeight: bannerRow.implicitHeight + 20
            radius: 8
            color: Qt.rgba(0.96, 0.62, 0.04, 0.10)
            border.width: 1
            border.color: Qt.rgba(0.96, 0.62, 0.04, 0.30)
            Accessible.role: Accessible.StaticText
            Accessible.name: "公告：" + view.chat.announcement
            RowLayout {
                id: bannerRow
                anchors.fill: parent
                anchors.leftMargin: 12
                anchors.rightMargin: 12
                spacing: 8
                SymbolIcon { kind: "megaphone"; tint: "#f59e0b"; size: 15 }
                Text {
                    Layout.fillWidth: true
                    text: view.chat.announcement
                    textFormat: Text.PlainText
                    wrapMode: Text.Wrap
                    font: Theme.zp(13)
                    color: Theme.zpText
                }
            }
        }

        ListView {
            id: list
            objectName: "conversationList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            model: view.conversations
            keyNavigationEnabled: true
            activeFocusOnTab: false
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: ScrollBar { Accessible.name: "会话列表" }

            section.property: "section"
            section.delegate: Loader {
                required property string section
                width: ListView.view.width
                active: section.length > 0
                sourceComponent: SectionHeader { title: section }
            }

            delegate: ConversationRow {
                required property var room
                width: ListView.view.width
                activeFocusOnTab: true
                onClicked: {
                    if (kind === "friendRequests")
                        view.showFriendRequests = true
                    else if (kind === "groupRequests")
                        view.showGroupRequests = true
                    else
                        view.openRoom(room)
                }
            }
        }
    }

    PopupLoader {
        active: view.showFriendRequests
        onClosed: view.showFriendRequests = false
        popup: FriendRequestsView { chat: view.chat }
    }
    PopupLoader {
        active: view.showGroupRequests
        onClosed: view.showGroupRequests = false
        popup: GroupRequestsView { chat: view.chat }
    }
}
