import QtQuick
import Zephlin.App
import Zephlin.Chat
import Zephlin.Images

// One message: the sender's avatar, in a group the sender's name (with a "BOT" badge), and the
// bubble with the text and the images. Own messages sit on the trailing side in green. A long
// press or a right click asks for the message's actions; a long press on someone's avatar in a
// group mentions them. A row is built for every message that arrives in the open room, so it is
// positioned by hand rather than with layouts or positioners, and the parts few rows show (name
// line, badge, images, failure mark) are made only for the rows that show them.
Item {
    id: row
    required property string messageId
    required property string from
    required property var fromName
    required property var fromAvatar
    required property bool fromBot
    required property string content
    required property var images
    required property bool isFromMe
    required property bool isPending
    required property bool isFailed
    required property int index
    // Set by the chat screen, the same for every row.
    property string currentUserId
    property bool inGroup: false
    property string ownName: "我"
    property var ownAvatar
    readonly property bool isMe: isFromMe || from === currentUserId
    readonly property bool hasName: fromName !== undefined && fromName !== null
    readonly property bool showsNameLine: inGroup && !isMe && hasName
    readonly property bool hasImages: images !== undefined && images !== null && images.length > 0
    readonly property bool hasMention: content.indexOf("@") >= 0
    // Avatar 36, 10 between avatar and bubble, at least 40 free on the far side, padding 13 each side.
    readonly property real maxTextWidth: width - 36 - 10 - 40 - 26
    // The message as the action dialog takes it.
    readonly property var message: ({ id: messageId, content: content, isFromMe: isFromMe, isPending: isPending, isFailed: isFailed })

    signal actionsRequested()
    signal mentionRequested(string name)
    signal imageTapped(string url)

    implicitHeight: Math.max(36, bubble.y + bubble.height)
    Accessible.role: Accessible.ListItem
    Accessible.name: isMe ? "我" : (hasName ? fromName : "?")
    Accessible.description: content + (hasImages ? "（" + images.length + " 张图片）" : "")
                            + (isFailed ? "（发送失败）" : "")

    AvatarView {
        x: row.isMe ? row.width - 36 : 0
        name: row.isMe ? row.ownName : (row.hasName ? row.fromName : "?")
        avatarURL: row.isMe ? row.ownAvatar : row.fromAvatar
        size: 36
        gradient: row.isMe ? ["#f59e0b", "#ef4444"] : ["#3b82f6", "#8b5cf6"]
        MouseArea {
            anchors.fill: parent
            enabled: row.showsNameLine
            pressAndHoldInterval: 300
            onPressAndHold: row.mentionRequested(row.fromName)
        }
    }

    Loader {
        id: nameLine
        x: 46
        active: row.showsNameLine
        sourceComponent: Text {
            text: row.fromName
            font: Theme.zp(12)
            color: Theme.zpTextDim
            Loader {
                x: parent.implicitWidth + 4
                anchors.verticalCenter: parent.verticalCenter
                active: row.fromBot
                sourceComponent: Rectangle {
                    objectName: "botBadge"
                    width: botLabel.implicitWidth + 8
                    height: botLabel.implicitHeight + 2
                    radius: 4
                    color: Theme.zpPanel2
                    Text {
                        id: botLabel
                        anchors.centerIn: parent
                        text: "BOT"
                        font: Theme.zp(9, Font.Bold)
                        color: "#2563eb"
                    }
                }
            }
        }
    }

    Rectangle {
        id: bubble
        objectName: "messageBubble"
        readonly property bool hasText: row.content.length > 0
        x: row.isMe ? row.width - 46 - width : 46
        y: nameLine.active ? nameLine.height + 4 : 0
        width: Math.max(hasText ? messageText.width : 0, row.hasImages ? imageLoader.width : 0) + 26
        height: (hasText ? messageText.height : 0) + (hasText && row.hasImages ? 6 : 0)
                + (row.hasImages ? imageLoader.height : 0) + 18
        radius: 10
        color: row.isMe ? Theme.accent : Theme.zpBorder
        // Dimmed while on its way; a failed one shows whole, beside its mark.
        opacity: row.isPending && !row.isFailed ? 0.75 : 1

        MouseArea {
            anchors.fill: parent
            acceptedButtons: Qt.LeftButton | Qt.RightButton
            pressAndHoldInterval: 400
            onPressAndHold: row.actionsRequested()
            onClicked: mouse => { if (mouse.button === Qt.RightButton) row.actionsRequested() }
        }

        Text {
            id: messageText
            objectName: "messageText"
            x: 13
            y: 9
            visible: bubble.hasText
            width: Math.min(implicitWidth, row.maxTextWidth)
            text: row.hasMention
                  ? MessageFormat.mentionMarkup(row.content, row.isMe ? "#006622" : Theme.zpText.toString(),
                                                row.isMe ? "#f2ffffff" : "#07c160")
                  : row.content
            textFormat: row.hasMention ? Text.StyledText : Text.PlainText
            wrapMode: Text.Wrap
            font: Theme.zp(15)
            color: row.isMe ? "#006622" : Theme.zpText
        }

        Loader {
            id: imageLoader
            x: 13
            y: bubble.hasText ? messageText.height + 15 : 9
            active: row.hasImages
            sourceComponent: MessageImageGrid {
                images: row.images
                onImageTapped: url => row.imageTapped(url)
            }
        }

        // Never confirmed by the server: a red mark beside the bubble; its actions offer "重发".
        Loader {
            objectName: "failedMark"
            x: -width - 6
            anchors.verticalCenter: parent.verticalCenter
            active: row.isFailed
            visible: active
            sourceComponent: Rectangle {
                width: 18
                height: 18
                radius: 9
                color: "#e5484d"
                Text {
                    anchors.centerIn: parent
                    text: "!"
                    font: Theme.zp(12, Font.Bold)
                    color: "white"
                }
            }
        }
    }
}
