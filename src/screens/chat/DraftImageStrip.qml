import QtQuick
import QtQuick.Controls.Basic
import Zephlin.App
import Zephlin.Images
import "../components"

// The images picked for the next message as 56-point thumbnails, each with a remove button.
ListView {
    id: strip
    required property DraftImageList drafts
    orientation: ListView.Horizontal
    spacing: 8
    implicitHeight: 64
    clip: true
    model: drafts
    Accessible.role: Accessible.List
    Accessible.name: "待发送的图片"

    delegate: Item {
        id: thumb
        required property var image
        required property int index
        width: 60
        height: 64
        DraftThumbnail {
            y: 6
            width: 56
            height: 56
            radius: 8
            image: thumb.image
        }
        AbstractButton {
            objectName: "removeDraft"
            x: 40
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
