import QtQuick
import QtQuick.Controls
import Zephlin.App
import Zephlin.Update

// What changed in each release, one card per version, newest first. Opened as a sheet over the
// profile screen; "完成" closes it.
Popup {
    id: root

    parent: Overlay.overlay
    x: 0
    y: 0
    width: parent ? parent.width : 0
    height: parent ? parent.height : 0
    padding: 0
    modal: true
    // Focus moves in, so Tab and Escape act on the changelog, not on the screen under it.
    focus: true
    onOpened: contentItem.forceActiveFocus(Qt.PopupFocusReason)

    background: Rectangle {
        color: Theme.zpBG
    }

    contentItem: Item {
        Item {
            id: bar
            width: parent.width
            height: 48

            Text {
                anchors.centerIn: parent
                text: "更新日志"
                color: Theme.zpText
                font: Theme.zp(17, Font.DemiBold)
                Accessible.role: Accessible.Heading
                Accessible.name: text
            }

            AbstractButton {
                id: doneButton
                objectName: "doneButton"
                anchors.right: parent.right
                anchors.rightMargin: 16
                anchors.verticalCenter: parent.verticalCenter
                text: "完成"
                Accessible.role: Accessible.Button
                Accessible.name: text
                Accessible.onPressAction: clicked()
                Keys.onReturnPressed: clicked()
                Keys.onEnterPressed: clicked()
                onClicked: root.close()
                contentItem: Text {
                    text: doneButton.text
                    color: Theme.hex("07c160")
                    font: Theme.zp(17)
                }
                // The keyboard focus mark.
                background: Rectangle {
                    anchors.fill: parent
                    anchors.margins: -3
                    color: "transparent"
                    radius: 6
                    border.width: 2
                    border.color: Theme.accent
                    visible: doneButton.visualFocus
                }
            }
        }

        Flickable {
            anchors.top: bar.bottom
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            contentHeight: cards.implicitHeight + 32
            clip: true

            Column {
                id: cards
                x: 16
                y: 16
                width: parent.width - 32
                spacing: 16

                Repeater {
                    model: ChangelogModel {}

                    delegate: Rectangle {
                        id: card
                        required property int index
                        required property string version
                        required property string date
                        required property string badge
                        required property string badgeColor
                        required property var items

                        objectName: "card" + index
                        width: cards.width
                        height: content.implicitHeight + 32
                        color: Theme.zpPanel
                        radius: 12
                        border.width: 1
                        border.color: Theme.zpBorder

                        Column {
                            id: content
                            x: 16
                            y: 16
                            width: parent.width - 32
                            spacing: 12

                            Row {
                                spacing: 8

                                Text {
                                    anchors.verticalCenter: parent.verticalCenter
                                    text: card.version
                                    color: Theme.zpText
                                    font: Theme.zp(18, Font.Bold)
                                }

                                Rectangle {
                                    objectName: "badge"
                                    anchors.verticalCenter: parent.verticalCenter
                                    visible: card.badge !== ""
                                    width: badgeText.implicitWidth + 14
                                    height: badgeText.implicitHeight + 6
                                    radius: 4
                                    color: Theme.hex(card.badgeColor)

                                    Text {
                                        id: badgeText
                                        objectName: "badgeText"
                                        anchors.centerIn: parent
                                        text: card.badge
                                        color: "white"
                                        font: Theme.zp(10, Font.DemiBold)
                                    }
                                }

                                Text {
                                    objectName: "date"
                                    anchors.verticalCenter: parent.verticalCenter
                                    text: card.date
                                    color: Theme.zpTextDim
                                    font: Theme.zp(12)
                                }
                            }

                            Repeater {
                                model: card.items

                                delegate: Row {
                                    required property string modelData
                                    width: content.width
                                    spacing: 6

                                    Text {
                                        id: bullet
                                        text: "•"
                                        color: Theme.zpTextDim
                                        font: Theme.zp(14)
                                    }

                                    Text {
                                        width: parent.width - bullet.width - parent.spacing
                                        text: modelData
                                        color: Theme.zpText
                                        font: Theme.zp(13)
                                        wrapMode: Text.Wrap
                                    }
                                }
                            }
                        }
                    }
                }
            }
        }
    }
}
