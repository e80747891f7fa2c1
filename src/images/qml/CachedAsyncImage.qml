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

    // The spinner and the failure symbol are made only while shown: a chat row with four images
    // would otherwise build both for every cell.
    Loader {
        objectName: "spinner"
        anchors.centerIn: parent
        active: root.loadState === ImageLoader.Idle || root.loadState === ImageLoader.Loading
        visible: active
        sourceComponent: ActivitySpinner {}
    }

    Loader {
        objectName: "failureGlyph"
        anchors.centerIn: parent
        active: root.loadState === ImageLoader.Failed
        visible: active
        sourceComponent: PhotoGlyph { size: 20 }
    }
}
