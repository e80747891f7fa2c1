import QtQuick
import Zephlin.App
import Zephlin.Images

// A user or group avatar: the image as a rounded square, or, while there is none, a gradient tile
// with the first character of the name.
Item {
    id: root

    property string name
    // The avatar string as the server sent it; null, undefined or "" for none.
    property var avatarURL
    property real size: 40
    // Fallback tile colours, top-left to bottom-right.
    property var gradient: ["#3b82f6", "#8b5cf6"]

    readonly property string resolvedURL: ImageTools.resolveAvatarURL(avatarURL)
    readonly property string fallbackText: ImageTools.firstCharacter(name)
    readonly property bool showsImage: imageLoader.item !== null && imageLoader.item.loadState === ImageLoader.Loaded

    width: size
    height: size
    implicitWidth: size
    implicitHeight: size

    GradientTile {
        objectName: "fallbackTile"
        anchors.fill: parent
        radius: root.size * 0.22
        colors: root.gradient
        visible: !root.showsImage

        Text {
            objectName: "fallbackText"
            anchors.centerIn: parent
            text: root.fallbackText
            color: Theme.zpText
            font.pixelSize: Math.max(1, root.size * 0.4)
            font.weight: Font.DemiBold
        }
    }

    // Made only for an avatar that has an address: list rows without one stay light.
    Loader {
        id: imageLoader
        anchors.fill: parent
        active: root.resolvedURL.length > 0
        sourceComponent: CachedImage {
            objectName: "avatarImage"
            source: root.resolvedURL
            contentMode: CachedImage.Fill
            radius: root.size * 0.22
            visible: root.showsImage
        }
    }
}
