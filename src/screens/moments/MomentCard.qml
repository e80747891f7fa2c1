import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Zephlin.App
import Zephlin.Chat
import Zephlin.Images
import "../components"
import "../chat"

// One moment: author and time, the whole text, the images, likes and comments. The card only asks;
// the feed sends the commands and the server's update redraws it.
Rectangle {
    id: card
    required property var moment
    // The signed-in user's id, for the heart and the delete buttons.
    required property string userId
    readonly property var images: moment.images || []
    readonly property var likes: moment.likes || []
    readonly property var comments: moment.comments || []
    readonly property string authorName: moment.authorName || "未知用户"
    readonly property bool liked: likes.indexOf(userId) >= 0
    readonly property bool own: moment.author === userId
    signal likeClicked()
    signal commentClicked()
    signal deleteClicked()
    signal commentDeleteClicked(string commentId)
    signal imageTapped(string url)

    color: Theme.zpPanel
    radius: 12
    implicitHeight: body.implicitHeight + 28

    ColumnLayout {
        id: body
        x: 14
        y: 14
        width: parent.width - 28
        spacing: 10

        RowLayout {
            Layout.fillWidth: true
            spacing: 10
            AvatarView {
                size: 40
                name: card.authorName
                avatarURL: card.moment.authorAvatar
            }
            ColumnLayout {
                Layout.fillWidth: true
                spacing: 2
                Text {
                    objectName: "momentAuthor"
                    Layout.fillWidth: true
                    text: card.authorName
                    elide: Text.ElideRight
                    font: Theme.zp(15, Font.DemiBold)
                    color: Theme.zpText
                }
                Text {
                    objectName: "momentTime"
                    text: MomentFormat.timeLabel(card.moment.time)
                    font: Theme.zp(11)
                    color: Theme.zpTextDim
                }
            }
        }

        Text {
            objectName: "momentText"
            Layout.fillWidth: true
            visible: text.length > 0
            text: card.moment.text || ""
            wrapMode: Text.Wrap
            font: Theme.zp(15)
            color: Theme.zpText
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }

        MessageImageGrid {
            objectName: "momentImages"
            visible: card.images.length > 0
            images: card.images
            layoutRule: MomentFormat.gridFor(card.images.length)
            onImageTapped: url => card.imageTapped(url)
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 16
            MomentActionButton {
                objectName: "likeButton"
                symbol: card.liked ? "heartFill" : "heart"
                tint: card.liked ? "#07c160" : Theme.zpTextDim
                label: card.liked ? "取消点赞" : "点赞"
                count: card.likes.length
                onClicked: card.likeClicked()
            }
            MomentActionButton {
                objectName: "commentButton"
                symbol: "bubble"
                label: "评论"
                count: card.comments.length
                onClicked: card.commentClicked()
            }
            Item { Layout.fillWidth: true }
            MomentActionButton {
                objectName: "deleteMomentButton"
                visible: card.own
                symbol: "trash"
                tint: "#e5484d"
                label: "删除朋友圈"
                onClicked: card.deleteClicked()
            }
        }

        Repeater {
            model: card.comments
            delegate: RowLayout {
                id: commentRow
                required property var modelData
                readonly property string commenter: modelData.author
                Layout.fillWidth: true
                spacing: 6
                Text {
                    Layout.alignment: Qt.AlignTop
                    text: commentRow.modelData.authorName || commentRow.commenter
                    font: Theme.zp(13, Font.DemiBold)
                    color: "#07c160"
                }
                Text {
                    objectName: "commentText"
                    Layout.fillWidth: true
                    text: commentRow.modelData.text
                    wrapMode: Text.Wrap
                    font: Theme.zp(13)
                    color: Theme.zpText
                }
                IconButton {
                    objectName: "deleteCommentButton"
                    Layout.alignment: Qt.AlignTop
                    visible: MomentFormat.commentDeletable(commentRow.commenter, card.moment.author, card.userId)
                    symbol: "close"
                    label: "删除评论"
                    tint: Theme.zpTextDim
                    symbolSize: 10
                    padding: 2
                    onClicked: card.commentDeleteClicked(MomentFormat.commentId(commentRow.commenter, commentRow.modelData.text,
                                                                                commentRow.modelData.time))
                }
            }
        }
    }
}
