import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Zephlin.App
import Zephlin.Chat
import Zephlin.Images
import "../components"
import "../chat"

// The posting form as a sheet: text up to 2000 characters, up to nine images, "发布". Images can
// also be pasted (Ctrl+V) or dropped as files. A post that went through closes the sheet; a failed
// one keeps text and images under its error line.
Sheet {
    id: sheet
    objectName: "postMomentView"
    required property AppState appState
    readonly property MomentComposer composer: composer
    initialFocus: editor

    MomentComposer {
        id: composer
        token: sheet.appState.token
        onFinished: sheet.close()
    }

    contentItem: Item {
        ColumnLayout {
            anchors.fill: parent
            spacing: 0

            SheetHeader {
                Layout.fillWidth: true
                title: "发布朋友圈"
                leadingText: "取消"
                trailingText: "发布"
                trailingEnabled: !composer.isLoading
                onLeadingClicked: sheet.close()
                onTrailingClicked: composer.post()
            }

            Flickable {
                Layout.fillWidth: true
                Layout.fillHeight: true
                contentHeight: form.implicitHeight + 24
                clip: true
                boundsBehavior: Flickable.StopAtBounds

                ColumnLayout {
                    id: form
                    width: parent.width
                    spacing: 0

                    SectionHeader {
                        objectName: "textSectionHeader"
                        Layout.fillWidth: true
                        title: "这一刻的想法…（" + composer.characterCount + "/2000）"
                    }
                    TextArea {
                        id: editor
                        objectName: "momentEditor"
                        Layout.fillWidth: true
                        Layout.leftMargin: 16
                        Layout.rightMargin: 16
                        Layout.minimumHeight: 100
                        text: composer.text
                        wrapMode: TextEdit.Wrap
                        color: Theme.zpText
                        selectionColor: Theme.accent
                        font: Theme.zp(15)
                        padding: 10
                        Accessible.name: "这一刻的想法"
                        onTextChanged: composer.text = text
                        // Tab leaves the editor instead of typing a tab.
                        KeyNavigation.priority: KeyNavigation.BeforeItem
                        KeyNavigation.tab: pickerRow
                        Keys.onPressed: event => {
                            if (event.matches(StandardKey.Paste) && composer.images.addFromClipboard())
                                event.accepted = true
                        }
                        background: Rectangle {
                            radius: 8
                            color: Theme.zpPanel
                            border.width: 1
                            border.color: editor.activeFocus ? Theme.accent : Theme.zpBorder
                        }
                    }

                    SectionHeader {
                        Layout.fillWidth: true
                        title: "图片（最多9张）"
                    }
                    DraftImageStrip {
                        objectName: "momentImageStrip"
                        Layout.fillWidth: true
                        Layout.leftMargin: 16
                        Layout.rightMargin: 16
                        visible: composer.images.count > 0
                        drafts: composer.images
                        thumbSize: 70
                    }
                    AbstractButton {
                        id: pickerRow
                        objectName: "addImageButton"
                        Layout.fillWidth: true
                        Layout.leftMargin: 16
                        Layout.rightMargin: 16
                        Layout.topMargin: 8
                        implicitHeight: 44
                        enabled: composer.canAddImage
                        Accessible.role: Accessible.Button
                        Accessible.name: "添加图片 " + composer.images.count + "/9"
                        Accessible.onPressAction: picker.open()
                        Keys.onReturnPressed: picker.open()
                        Keys.onEnterPressed: picker.open()
                        onClicked: picker.open()
                        opacity: enabled ? 1 : 0.4
                        contentItem: RowLayout {
                            spacing: 8
                            SymbolIcon { kind: "plus"; tint: Theme.accent; size: 16 }
                            Text { text: "添加图片"; font: Theme.zp(15); color: Theme.zpText }
                            Item { Layout.fillWidth: true }
                            Text {
                                objectName: "imageCounter"
                                text: composer.images.count + "/9"
                                font: Theme.zp(13)
                                color: "gray"
                            }
                        }
                        leftPadding: 12
                        rightPadding: 12
                        background: Rectangle {
                            radius: 8
                            color: pickerRow.down ? Theme.zpPanel2 : Theme.zpPanel
                            border.width: pickerRow.visualFocus ? 2 : 0
                            border.color: Theme.accent
                        }
                    }
                    MessageLine {
                        objectName: "postMessage"
                        Layout.leftMargin: 16
                        Layout.rightMargin: 16
                        Layout.topMargin: 12
                        message: composer.message
                    }
                }
            }
        }

        // Image files dropped on the sheet join the picked ones.
        DropArea {
            anchors.fill: parent
            keys: ["text/uri-list"]
            onDropped: drop => {
                if (drop.hasUrls && composer.images.addFiles(drop.urls) > 0)
                    drop.acceptProposedAction()
            }
        }
    }

    // Ctrl+V anywhere on the sheet but in the editor (which handles its own paste) adds an image.
    Shortcut {
        sequences: [StandardKey.Paste]
        enabled: sheet.opened && !editor.activeFocus
        onActivated: composer.images.addFromClipboard()
    }

    ImagePicker {
        id: picker
        onPicked: file => composer.images.addFile(file)
    }
}
