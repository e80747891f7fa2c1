import QtQuick
import QtQuick.Controls.Basic
import Zephlin.App
import Zephlin.Images
import "../components"

// Picked images not yet sent as square thumbnails (56 points unless set), each with a remove button.
ListView {
    id: strip
    required property DraftImageList drafts
    property int thumbSize: 56
    orientation: ListView.Horizontal
    spacing: 8
    implicitHeight: thumbSize + 8
    clip: true
    model: drafts
    Accessible.role: Accessible.List
    Accessible.name: "待发送的图片"

    delegate: Item {
        id: thumb
        required property var image
        required property int index
        width: strip.thumbSize + 4
        height: strip.thumbSize + 8
        DraftThumbnail {
            y: 6
            width: strip.thumbSize
            height: strip.thumbSize
            radius: 8
            image: thumb.image
        }
        AbstractButton {
            objectName: "removeDraft"
            x: strip.thumbSize - 16
            y: 0
            width: 20
            height: 20
            Accessible.role: Accessible.Button
            Accessible.name: "移除第 " + (thumb.index + 1) + " 张图片"
            Accessible.onPressAction: strip.drafts.remove(thumb.index)
            Keys.onReturnPressed: strip.drafts.remove(thumb.index)
            onClicked: strip.drafts.remove(thumb.index)
            background: Rectangle {
                radius: 10
                color: Qt.rgba(0, 0, 0, 0.6)
                border.width: parent.visualFocus ? 2 : 0
                border.color: Theme.accent
            }
            contentItem: SymbolIcon { kind: "close"; tint: "white"; size: 20 }
        }
    }
}
