import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Zephlin.App
import Zephlin.Chat
import "components"
import "conversations"
import "contacts"
import "chat"
import "moments"
import "profile"

// The signed-in shell: four tabs tinted with the accent colour. Showing it connects the live channel.
Rectangle {
    id: main
    objectName: "mainTabs"
    required property AppState appState
    required property ChatViewModel chat
    // The room whose chat is shown over the tabs, opened from the tab that set it.
    readonly property var activeRoom: messagesTab.item && messagesTab.item.activeRoom ? messagesTab.item.activeRoom
                                    : contactsTab.item ? contactsTab.item.activeRoom : null
    property int selectedTab: 0
    property bool showMoments: false
    // A tab's page is built the first time it is shown and then kept with its state: building all
    // four at once delayed the first sight of the main screen.
    property int builtTabs: 1 << selectedTab
    onSelectedTabChanged: builtTabs |= 1 << selectedTab
    // A page over the tabs in place hides them, so that neither Tab nor a screen reader reaches them.
    readonly property bool covered: (!!activeRoom && chatPresenter.item !== null && !slideIn.running)
                                   || (showMoments && moments.x === 0)
    // The last focused control of the tabs; focus goes back there when a page over them closes.
    property Item focusBeforePage: null
    color: Theme.zpBG

    Connections {
        target: main.Window.window
        function onActiveFocusItemChanged() {
            for (let item = main.Window.activeFocusItem; item; item = item.parent) {
                if (item === tabsColumn) {
                    main.focusBeforePage = main.Window.activeFocusItem
                    return
                }
            }
        }
    }
    function restoreFocus() {
        const target = focusBeforePage && focusBeforePage.visible ? focusBeforePage : tabRepeater.itemAt(selectedTab)
        if (target)
            target.forceActiveFocus(Qt.OtherFocusReason)
    }

    readonly property var tabs: [
        { label: "消息", kind: "message" },
        { label: "通讯录", kind: "contacts" },
        { label: "发现", kind: "discover" },
        { label: "我的", kind: "me" }
    ]

    // Showing the main screen opens the live channel; so does returning to the foreground offline.
    Component.onCompleted: {
        if (appState.token.length > 0)
            WebSocketService.connectToServer(appState.token)
        // Signed in, keyboard users start on the current tab.
        Qt.callLater(restoreFocus)
    }
    Connections {
        target: Qt.application
        function onStateChanged() {
            if (Qt.application.state === Qt.ApplicationActive && main.appState.token.length > 0
                    && !WebSocketService.isConnected)
                WebSocketService.connectToServer(main.appState.token)
        }
    }

    ColumnLayout {
        id: tabsColumn
        anchors.fill: parent
        spacing: 0
        visible: !main.covered

        StackLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            currentIndex: main.selectedTab

            Loader {
                id: messagesTab
                active: main.builtTabs & 1
                sourceComponent: MessagesView {
                    appState: main.appState
                    chat: main.chat
                }
            }
            Loader {
                id: contactsTab
                active: main.builtTabs & 2
                sourceComponent: ContactsView {
                    appState: main.appState
                    chat: main.chat
                }
            }
            Loader {
                active: main.builtTabs & 4
                sourceComponent: DiscoverView {
                    showMoments: main.showMoments
                    onShowMomentsChanged: main.showMoments = showMoments
                }
            }
            Loader {
                active: main.builtTabs & 8
                sourceComponent: ProfileView {
                    appState: main.appState
                    chat: main.chat
                }
            }
        }

        Rectangle {
            Layout.fillWidth: true
            Layout.preferredHeight: 56
            color: Theme.zpPanel
            Rectangle { width: parent.width; height: 1; color: Theme.zpBorder }

            RowLayout {
                anchors.fill: parent
                spacing: 0
                Accessible.role: Accessible.PageTabList
                Accessible.name: "主标签"
                Repeater {
                    id: tabRepeater
                    model: main.tabs
                    // A TabButton keeps the page tab role when accessibility comes on.
                    delegate: TabButton {
                        id: tabButton
                        required property var modelData
                        required property int index
                        readonly property bool active: main.selectedTab === index
                        checkable: false
                        padding: 0
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                        text: modelData.label
                        Accessible.name: modelData.label
                        Accessible.selectable: true
                        Accessible.selected: active
                        Accessible.onPressAction: clicked()
                        Keys.onReturnPressed: clicked()
                        Keys.onEnterPressed: clicked()
                        onClicked: main.selectedTab = index
                        background: FocusRing { control: tabButton; anchors.margins: 3; radius: 8 }
                        contentItem: Column {
                            spacing: 2
                            topPadding: 6
                            TabIcon {
                                anchors.horizontalCenter: parent.horizontalCenter
                                kind: tabButton.modelData.kind
                                tint: tabButton.active ? "#07c160" : Theme.zpTextDim
                            }
                            Text {
                                anchors.horizontalCenter: parent.horizontalCenter
                                text: tabButton.modelData.label
                                font.pixelSize: 10
                                color: tabButton.active ? "#07c160" : Theme.zpTextDim
                            }
                        }
                    }
                }
            }
        }
    }

    // A chat slides in over the tabs; closing it returns to the tab as it was.
    Loader {
        id: chatPresenter
        objectName: "chatPresenter"
        width: parent.width
        height: parent.height
        z: 1
        active: !!main.activeRoom
        onActiveChanged: if (!active) Qt.callLater(main.restoreFocus)
        sourceComponent: ChatView {
            appState: main.appState
            chat: main.chat
            room: main.activeRoom
            focus: true
            onClosed: {
                for (const tab of [messagesTab.item, contactsTab.item]) {
                    if (tab)
                        tab.closeRoom()
                }
            }
        }
        onLoaded: {
            slideIn.start()
            item.forceActiveFocus()
        }
        NumberAnimation { id: slideIn; target: chatPresenter; property: "x"; from: main.width; to: 0; duration: 220; easing.type: Easing.OutCubic }
    }

    // The moments feed slides in over the tabs; it is built when first opened.
    Loader {
        id: moments
        width: parent.width
        height: parent.height
        x: main.showMoments ? 0 : parent.width
        visible: x < parent.width
        active: false
        Binding on active { when: main.showMoments; value: true; restoreMode: Binding.RestoreNone }
        Behavior on x { NumberAnimation { duration: 250; easing.type: Easing.OutCubic } }
        sourceComponent: MomentsView {
            appState: main.appState
            chat: main.chat
            isPresented: main.showMoments
            onClosed: main.showMoments = false
            onIsPresentedChanged: if (!isPresented) Qt.callLater(main.restoreFocus)
        }
        // Built already presented: the feed takes the focus itself only on later openings.
        onLoaded: item.forceActiveFocus()
    }
}
