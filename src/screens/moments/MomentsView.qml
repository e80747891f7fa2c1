import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Zephlin.App
import Zephlin.Chat
import Zephlin.Images
import "../components"

// The moments feed over the tabs: the chat state's moments in the server's order. Likes, comments
// and deletions go to the server as commands and change nothing here; the server's moments update
// redraws the feed. Back and Escape close it.
FocusScope {
    id: view
    objectName: "momentsView"
    required property AppState appState
    required property ChatViewModel chat
    property bool isPresented: false
    property bool showPostMoment: false
    property var commentMoment: null
    property string commentText: ""
    property string previewImageURL: ""
    // Read again each time the feed is shown.
    property string userId: MomentFormat.currentUserId()
    readonly property ListView feed: feed
    signal closed()

    Keys.onEscapePressed: view.closed()
    onIsPresentedChanged: {
        if (!isPresented)
            return
        userId = MomentFormat.currentUserId()
        forceActiveFocus()
    }

    function like(moment) { WebSocketService.send({ type: "moment-like", mid: moment.id }) }
    function remove(moment) { WebSocketService.send({ type: "moment-delete", mid: moment.id }) }
    function sendComment() {
        if (commentMoment !== null && commentText.length > 0) {
            WebSocketService.momentComment(commentMoment.id, commentText)
            commentText = ""
        }
        commentMoment = null
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.zpBG
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        Item {
            Layout.fillWidth: true
            implicitHeight: 52
            RowLayout {
                anchors.fill: parent
                anchors.leftMargin: 4
                anchors.rightMargin: 8
                spacing: 4
                IconButton {
                    objectName: "momentsBackButton"
                    symbol: "back"
                    label: "返回"
                    symbolSize: 20
                    onClicked: view.closed()
                }
                Text {
                    text: "朋友圈"
                    font: Theme.zp(16, Font.DemiBold)
                    color: Theme.zpText
                    Accessible.role: Accessible.Heading
                    Accessible.name: text
                }
                Item { Layout.fillWidth: true }
                IconButton {
                    objectName: "composeButton"
                    symbol: "compose"
                    label: "发布朋友圈"
                    onClicked: view.showPostMoment = true
                }
            }
            Rectangle { anchors.bottom: parent.bottom; width: parent.width; height: 1; color: Theme.zpBorder }
        }

        ListView {
            id: feed
            objectName: "momentList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            spacing: 12
            topMargin: 12
            bottomMargin: 12
            model: view.chat.moments
            // Cards differ in height: reused delegates would make the list jump.
            reuseItems: false
            boundsBehavior: Flickable.StopAtBounds
            Accessible.role: Accessible.List
            Accessible.name: "朋友圈列表"
            ScrollBar.vertical: ScrollBar { Accessible.name: "朋友圈列表" }

            delegate: MomentCard {
                required property var modelData
                x: 12
                width: ListView.view.width - 24
                moment: modelData
                userId: view.userId
                onLikeClicked: view.like(moment)
                onCommentClicked: view.commentMoment = moment
                onDeleteClicked: view.remove(moment)
                onCommentDeleteClicked: commentId => WebSocketService.momentCommentDelete(moment.id, commentId)
                onImageTapped: url => view.previewImageURL = url
            }
        }
    }

    Column {
        objectName: "momentsEmpty"
        anchors.centerIn: parent
        visible: view.chat.moments.length === 0
        spacing: 12
        SymbolIcon { anchors.horizontalCenter: parent.horizontalCenter; kind: "camera"; size: 40; tint: Theme.zpTextDim }
        Text {
            text: "还没有朋友圈内容"
            font: Theme.zp(14)
            color: Theme.zpTextDim
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
    }

    PopupLoader {
        objectName: "commentLoader"
        active: view.commentMoment !== null
        onClosed: view.commentMoment = null
        popup: AlertDialog {
            objectName: "commentDialog"
            title: "评论"
            initialFocus: commentField
            fields: AppTextField {
                id: commentField
                objectName: "commentField"
                Layout.fillWidth: true
                placeholderText: "写评论…"
                text: view.commentText
                onTextChanged: view.commentText = text
                onAccepted: view.sendComment()
            }
            DialogTextButton {
                objectName: "commentCancel"
                text: "取消"
                onClicked: view.commentMoment = null
            }
            DialogTextButton {
                objectName: "commentSend"
                text: "发送"
                onClicked: view.sendComment()
            }
        }
    }

    PopupLoader {
        objectName: "postLoader"
        active: view.showPostMoment
        onClosed: view.showPostMoment = false
        popup: PostMomentView {
            appState: view.appState
        }
    }

    PopupLoader {
        active: view.previewImageURL.length > 0
        onClosed: view.previewImageURL = ""
        popup: ImagePreviewView {
            objectName: "momentImagePreview"
            url: view.previewImageURL
            Component.onCompleted: open()
        }
    }
}
