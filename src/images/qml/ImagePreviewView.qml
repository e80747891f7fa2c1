import QtQuick
import QtQuick.Controls
import Zephlin.Images

// One image full screen on black, fitted; a tap anywhere closes it. Set `url`, then open().
Popup {
    id: root

    property string url
    readonly property bool showsImage: ImageTools.parsesAsURL(url)

    parent: Overlay.overlay
    x: 0
    y: 0
    width: parent ? parent.width : 0
    height: parent ? parent.height : 0
    padding: 0
    modal: true
    closePolicy: Popup.CloseOnEscape
    // Focus moves in, so Tab and Escape act on the preview, not on the screen under it.
    focus: true
    onOpened: contentItem.forceActiveFocus(Qt.PopupFocusReason)

    background: Rectangle {
        color: "black"
    }

    contentItem: Item {
        // The preview has no visible title; screen readers still hear one.
        Item {
            Accessible.role: Accessible.Heading
            Accessible.name: "图片预览"
        }

        CachedAsyncImage {
            objectName: "previewImage"
            anchors.fill: parent
            visible: root.showsImage
            url: root.showsImage ? root.url : ""
            contentMode: CachedImage.Fit
            placeholderColor: "black"
        }

        // An address that is not a URL never loads: the spinner just stays.
        ActivitySpinner {
            objectName: "previewSpinner"
            anchors.centerIn: parent
            visible: !root.showsImage
        }

        TapHandler {
            onTapped: root.close()
        }
    }
}
