import QtQuick

// A generic picture symbol (frame, sun, hill) drawn in grey: shown where an image failed to load.
Item {
    id: root

    property real size: 20
    property color color: "grey"

    implicitWidth: size * 1.2
    implicitHeight: size

    Rectangle {
        id: frame
        anchors.fill: parent
        radius: root.size * 0.15
        color: "transparent"
        border.color: root.color
        border.width: Math.max(1, root.size * 0.1)
        clip: true

        Rectangle {
            width: root.size * 0.22
            height: width
            radius: width / 2
            color: root.color
            x: parent.width * 0.62
            y: parent.height * 0.2
        }

        Rectangle {
            width: root.size * 0.8
            height: width
            rotation: 45
            color: root.color
            x: parent.width * 0.1
            y: parent.height * 0.55
        }
    }
}
