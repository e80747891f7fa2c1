import QtQuick
import Zephlin.Images

// A remote chat or moment image: a spinner over the placeholder colour while it loads, the image
// once it is there, a picture symbol if it cannot be loaded. A cached image shows in the first frame.
Item {
    id: root

    property string url
    property int contentMode: CachedImage.Fill
    property color placeholderColor: "transparent"
    property real radius: 0
    readonly property int loadState: image.loadState

    clip: true

    Rectangle {
        anchors.fill: parent
        color: root.placeholderColor
        radius: root.radius
        visible: root.loadState !== ImageLoader.Loaded
    }

    CachedImage {
        id: image
        objectName: "image"
        anchors.fill: parent
        source: root.url
        contentMode: root.contentMode
        radius: root.radius
        visible: loadState === ImageLoader.Loaded
    }

    ActivitySpinner {
        objectName: "spinner"
        anchors.centerIn: parent
        visible: root.loadState === ImageLoader.Idle || root.loadState === ImageLoader.Loading
    }

    PhotoGlyph {
        objectName: "failureGlyph"
        anchors.centerIn: parent
        size: 20
        visible: root.loadState === ImageLoader.Failed
    }
}
