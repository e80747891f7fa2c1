import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Zephlin.App
import Zephlin.Chat
import Zephlin.Images
import "../components"
import "../groups"

// The one conversation screen for the hall, a friend and a group, shown over the tabs. Back and
// Escape close it. The room is fixed when it is created; the typed text and the picked images
// live in its composer and go with it.
FocusScope {
    id: view
    objectName: "chatView"
    required property AppState appState
    required property ChatViewModel chat
    required property var room
    property bool showGroupSettings: false
    property bool showDeleteConfirm: false
    property var contextMenuMessage: null
    property string previewImageURL: ""
    readonly property ChatComposer composer: composer
    readonly property ListView messageList: messageList
    // What every row reads, worked out once rather than in each row as it is made.
    readonly property bool inGroup: room.isGroup
    readonly property string ownName: appState.currentUser.username !== undefined ? appState.currentUser.username : "我"
    readonly property var ownAvatar: appState.currentUser.avatar
    signal closed()

    Keys.onEscapePressed: view.closed()

    ChatComposer {
        id: composer
        chat: view.chat
        room: view.room
        token: view.appState.token
    }

    Component.onCompleted: {
        initialScroll.start()
        chat.currentRoom = room
        showEnd()
        inputBar.focusField()
    }

    // The list opens at its end; 0.1 s later, once its delegates have settled, it is put there again
    // without animation.
    Timer {
        id: initialScroll
        interval: 100
        onTriggered: {
            scrollAnimation.stop()
            view.showEnd()
        }
    }

    // The last message's bottom edge in view; a room shorter than the screen starts at its top.
    function showEnd() {
        // Heights are estimated until rows exist: lay out, place the last row, then settle on the
        // real end (its bottom margin included); a room shorter than the screen stays at its top.
        const list = messageList
        list.forceLayout()
        list.positionViewAtEnd()
        list.contentY = Math.max(list.originY - list.topMargin, list.originY + list.contentHeight + list.bottomMargin - list.height)
    }

    function scrollToEndAnimated() {
        if (messageList.count === 0)
            return
        // The room's rows arriving as the screen opens are not news, and a message arriving while the
        // end is in view is simply placed there: an animation would redraw every row on screen for a
        // quarter of a second, for each message.
        const animate = !initialScroll.running && !messageList.followsEnd
        messageList.followsEnd = true
        if (!animate) {
            scrollAnimation.stop()
            showEnd()
            return
        }
        const from = messageList.contentY
        showEnd()
        const to = messageList.contentY
        if (Math.abs(to - from) < 1)
            return
        messageList.contentY = from
        scrollAnimation.to = to
        scrollAnimation.restart()
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.zpBG
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        // Header: back, title and subtitle, the room's own action.
        Item {
            Layout.fillWidth: true
            implicitHeight: Math.max(52, titleBlock.implicitHeight + 16)

            RowLayout {
                anchors.fill: parent
                anchors.leftMargin: 4
                anchors.rightMargin: 4
                spacing: 4
                IconButton {
                    objectName: "chatBackButton"
                    symbol: "back"
                    label: "返回"
                    symbolSize: 20
                    onClicked: view.closed()
                }
                ColumnLayout {
                    id: titleBlock
                    Layout.fillWidth: true
                    spacing: 2
                    Text {
                        objectName: "chatTitle"
                        Layout.fillWidth: true
                        text: view.room.isDm ? view.room.peerName : view.room.isGroup ? view.room.name : view.appState.hallName
                        elide: Text.ElideRight
                        maximumLineCount: 1
                        font: Theme.zp(16, Font.DemiBold)
                        color: Theme.zpText
                        Accessible.role: Accessible.Heading
                        Accessible.name: text
                    }
                    Text {
                        objectName: "chatSubtitle"
                        visible: composer.roomSubtitle.length > 0
                        text: composer.roomSubtitle
                        font: Theme.zp(12)
                        color: Theme.zpTextDim
                    }
                }
                IconButton {
                    objectName: "groupSettingsButton"
                    visible: view.room.isGroup
                    symbol: "gear"
                    label: "群设置"
                    onClicked: view.showGroupSettings = true
                }
                IconButton {
                    objectName: "deleteContactButton"
                    visible: view.room.isDm
                    symbol: "personMinus"
                    label: "删除联系人"
                    tint: Theme.danger
                    onClicked: view.showDeleteConfirm = true
                }
            }
            Rectangle { anchors.bottom: parent.bottom; width: parent.width; height: 1; color: Theme.zpBorder }
        }

        ListView {
            id: messageList
            objectName: "messageList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            spacing: 14
            topMargin: 12
            bottomMargin: 12
            model: view.chat.currentMessages
            // Delegate heights vary with text and images: reused delegates would make the list jump.
            reuseItems: false
            // Measured: a buffer of two screens of rows doubled the time to open a long room.
            cacheBuffer: 320
            boundsBehavior: Flickable.StopAtBounds
            activeFocusOnTab: true
            keyNavigationEnabled: true
            // Keyboard users start at the newest message.
            onActiveFocusChanged: if (activeFocus) currentIndex = count - 1
            Accessible.role: Accessible.List
            Accessible.name: "消息列表"
            ScrollBar.vertical: ScrollBar { Accessible.name: "消息列表" }

            // Whether the end is in view, kept while the user scrolls: a list that showed its end keeps
            // showing it when the mention list or the picked images take room below it.
            property bool followsEnd: true
            onMovementEnded: followsEnd = atYEnd
            onCountChanged: view.scrollToEndAnimated()
            onHeightChanged: if (followsEnd || initialScroll.running) view.showEnd()
            Keys.onReturnPressed: if (currentItem) view.contextMenuMessage = currentItem.message
            Keys.onMenuPressed: if (currentItem) view.contextMenuMessage = currentItem.message

            NumberAnimation on contentY {
                id: scrollAnimation
                running: false
                duration: 250
                easing.type: Easing.OutCubic
            }

            // One frame for the keyboard's current row, rather than one per row; 4 outside the row,
            // which sits 16 in.
            highlight: Item {
                visible: messageList.activeFocus
                Rectangle {
                    x: 12
                    y: -4
                    width: parent.width + 8
                    height: parent.height + 8
                    color: "transparent"
                    border.width: 2
                    border.color: Theme.accent
                    radius: 8
                }
            }
            highlightMoveDuration: 0
            highlightResizeDuration: 0

            delegate: MessageRow {
                x: 16
                width: ListView.view.width - 32
                currentUserId: composer.currentUserId
                inGroup: view.inGroup
                ownName: view.ownName
                ownAvatar: view.ownAvatar
                onActionsRequested: view.contextMenuMessage = message
                onMentionRequested: name => {
                    composer.mentionSender(name)
                    inputBar.focusField()
                }
                onImageTapped: url => view.previewImageURL = url
            }
        }

        // Built only while shown: hidden controls cost on every opening.
        Loader {
            id: mentionLoader
            Layout.fillWidth: true
            active: composer.showMentionPanel
            visible: active
            sourceComponent: MentionPanel {
                objectName: "mentionPanel"
                users: composer.filteredMentionUsers
                onChosen: username => {
                    composer.insertMention(username)
                    inputBar.focusField()
                    inputBar.field.cursorPosition = inputBar.field.length
                }
            }
        }

        Loader {
            Layout.fillWidth: true
            Layout.leftMargin: 12
            Layout.rightMargin: 12
            active: composer.draftImages.count > 0
            visible: active
            sourceComponent: DraftImageStrip {
                objectName: "draftImageStrip"
                drafts: composer.draftImages
            }
        }

        InputBar {
            id: inputBar
            Layout.fillWidth: true
            composer: composer
            mentionPanel: mentionLoader.item
            onPickImage: view.pickImage()
        }
    }

    // Image files dropped anywhere on the chat join the picked images.
    DropArea {
        anchors.fill: parent
        keys: ["text/uri-list"]
        onDropped: drop => {
            if (drop.hasUrls && composer.draftImages.addFiles(drop.urls) > 0)
                drop.acceptProposedAction()
        }
    }

    // The file dialog is made on the first pick.
    property var picker: null
    Component {
        id: pickerComponent
        ImagePicker { onPicked: file => composer.draftImages.addFile(file) }
    }
    function pickImage() {
        if (!picker)
            picker = pickerComponent.createObject(view)
        picker.open()
    }

    PopupLoader {
        active: view.showGroupSettings
        onClosed: view.showGroupSettings = false
        popup: GroupSettingsView {
            chat: view.chat
            gid: view.room.isGroup ? view.room.gid : ""
        }
    }

    PopupLoader {
        active: !!view.contextMenuMessage
        onClosed: view.contextMenuMessage = null
        popup: AlertDialog {
            id: actions
            objectName: "messageActions"
            title: "消息操作"
            stacked: true
            // The message the dialog was opened for, kept while the dialog goes away.
            readonly property var message: view.contextMenuMessage ? view.contextMenuMessage : ({})
            DialogTextButton {
                visible: actions.message.isFromMe === true
                text: "撤回"
                destructive: true
                onClicked: {
                    const id = view.contextMenuMessage.id
                    // The row goes whatever the chat state says of the recall.
                    view.chat.recallMessageWithId(id)
                    view.chat.removeMessageWithId(id)
                    view.contextMenuMessage = null
                }
            }
            DialogTextButton {
                visible: actions.message.isFailed === true
                text: "重发"
                onClicked: {
                    view.chat.resendMessageWithId(view.contextMenuMessage.id)
                    view.contextMenuMessage = null
                }
            }
            DialogTextButton {
                text: "复制"
                onClicked: {
                    SystemClipboard.setText(view.contextMenuMessage.content)
                    view.contextMenuMessage = null
                }
            }
            DialogTextButton {
                text: "取消"
                onClicked: view.contextMenuMessage = null
            }
        }
    }

    PopupLoader {
        active: view.showDeleteConfirm
        onClosed: view.showDeleteConfirm = false
        popup: AlertDialog {
            objectName: "deleteContactDialog"
            title: "删除联系人"
            message: "确定要删除该联系人吗？"
            DialogTextButton {
                text: "删除"
                destructive: true
                onClicked: {
                    if (view.room.isDm) {
                        WebSocketService.send({ type: "unfriend", userId: view.room.peerId })
                        view.showDeleteConfirm = false
                        view.closed()
                    }
                }
            }
            DialogTextButton {
                text: "取消"
                onClicked: view.showDeleteConfirm = false
            }
        }
    }

    PopupLoader {
        active: view.previewImageURL.length > 0
        onClosed: view.previewImageURL = ""
        popup: ImagePreviewView {
            objectName: "imagePreview"
            url: view.previewImageURL
            Component.onCompleted: open()
        }
    }
}
