import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Zephlin.App
import Zephlin.Chat
import "../components"

// The add-image button, the message field (growing from one to four lines) and "发送". Enter
// sends, Shift+Enter starts a new line; while the mention list is open, Up/Down move in it, Enter
// picks and Escape closes it. Ctrl+V with an image on the clipboard adds the image.
Rectangle {
    id: bar
    required property ChatComposer composer
    property MentionPanel mentionPanel: null
    property alias field: field
    signal pickImage()

    implicitHeight: layout.implicitHeight + 16
    color: Theme.zpPanel
    Rectangle { width: parent.width; height: 1; color: Theme.zpBorder }

    function focusField() { field.forceActiveFocus() }

    RowLayout {
        id: layout
        anchors.fill: parent
        anchors.margins: 8
        spacing: 8

        AbstractButton {
            id: addImage
            objectName: "addImageButton"
            Layout.alignment: Qt.AlignBottom
            implicitWidth: 42
            implicitHeight: 42
            Accessible.role: Accessible.Button
            Accessible.name: "添加图片"
            Accessible.onPressAction: bar.pickImage()
            Keys.onReturnPressed: bar.pickImage()
            Keys.onEnterPressed: bar.pickImage()
            onClicked: bar.pickImage()
            background: Rectangle {
                radius: 8
                color: Theme.zpPanel2
                border.width: addImage.visualFocus ? 2 : 1
                border.color: addImage.visualFocus ? Theme.accent : Theme.zpBorder
            }
            contentItem: Item {
                SymbolIcon { anchors.centerIn: parent; kind: "plus"; tint: Theme.zpText; size: 18 }
            }
        }

        ScrollView {
            id: scroller
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignBottom
            // One line up to four, then it scrolls.
            readonly property real lineHeight: fontMetrics.lineSpacing
            Layout.preferredHeight: Math.min(field.implicitHeight, lineHeight * 4 + field.topPadding + field.bottomPadding)
            ScrollBar.horizontal.policy: ScrollBar.AlwaysOff
            ScrollBar.vertical.Accessible.name: "消息输入"

            FontMetrics { id: fontMetrics; font: field.font }

            TextArea {
                id: field
                objectName: "messageField"
                text: bar.composer.messageText
                placeholderText: "输入消息，Enter发送，@提及用户"
                placeholderTextColor: Theme.zpTextDim
                color: Theme.zpText
                selectionColor: Theme.accent
                font: Theme.zp(15)
                wrapMode: TextEdit.Wrap
                leftPadding: 14
                rightPadding: 14
                topPadding: 10
                bottomPadding: 10
                Accessible.name: "消息"
                Accessible.description: placeholderText
                background: Rectangle {
                    radius: 8
                    color: Theme.zpBG
                    border.width: 1
                    border.color: field.activeFocus ? Theme.accent : Theme.zpBorder
                }
                onTextChanged: if (text !== bar.composer.messageText) bar.composer.handleTextChange(text)

                readonly property bool mentionOpen: bar.composer.showMentionPanel && bar.mentionPanel !== null

                function enter(event) {
                    if (mentionOpen) {
                        bar.mentionPanel.chooseCurrent()
                    } else if (event.modifiers & Qt.ShiftModifier) {
                        insert(cursorPosition, "\n")
                    } else {
                        bar.composer.send()
                    }
                    event.accepted = true
                }
                Keys.onReturnPressed: event => enter(event)
                Keys.onEnterPressed: event => enter(event)
                Keys.onUpPressed: event => {
                    event.accepted = mentionOpen
                    if (mentionOpen) bar.mentionPanel.moveSelection(-1)
                }
                Keys.onDownPressed: event => {
                    event.accepted = mentionOpen
                    if (mentionOpen) bar.mentionPanel.moveSelection(1)
                }
                Keys.onEscapePressed: event => {
                    // An open mention list closes first; otherwise Escape closes the chat.
                    event.accepted = mentionOpen
                    if (mentionOpen) bar.composer.dismissMention()
                }
                // Tab leaves the field instead of typing a tab, so keyboard users can get out.
                Keys.onTabPressed: nextItemInFocusChain(true).forceActiveFocus(Qt.TabFocusReason)
                Keys.onBacktabPressed: nextItemInFocusChain(false).forceActiveFocus(Qt.BacktabFocusReason)
                Keys.onPressed: event => {
                    if (event.matches(StandardKey.Paste) && bar.composer.draftImages.addFromClipboard())
                        event.accepted = true
                }
            }
        }

        AbstractButton {
            id: sendButton
            objectName: "sendButton"
            Layout.alignment: Qt.AlignBottom
            implicitHeight: 42
            leftPadding: 18
            rightPadding: 18
            enabled: bar.composer.canSend
            opacity: enabled ? 1 : 0.5
            text: "发送"
            Accessible.role: Accessible.Button
            Accessible.name: text
            Accessible.onPressAction: bar.composer.send()
            Keys.onReturnPressed: bar.composer.send()
            Keys.onEnterPressed: bar.composer.send()
            onClicked: bar.composer.send()
            background: Rectangle {
                radius: 8
                color: Theme.accent
                border.width: sendButton.visualFocus ? 2 : 0
                border.color: Theme.zpText
            }
            contentItem: Text {
                text: sendButton.text
                font: Theme.zp(15, Font.DemiBold)
                color: "#006622"
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
            }
        }
    }
}
