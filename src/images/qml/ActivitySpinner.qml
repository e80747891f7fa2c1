import QtQuick

// A spinning ring of dots; white at 60 % unless told otherwise.
Item {
    id: root

    property color color: Qt.rgba(1, 1, 1, 0.6)

    implicitWidth: 24
    implicitHeight: 24

    Item {
        id: wheel
        anchors.fill: parent

        Repeater {
            model: 8

            Rectangle {
                id: dot
                required property int index
                readonly property real angle: index * Math.PI / 4
                readonly property real reach: (root.width - dot.width) / 2

                width: root.width * 0.18
                height: dot.width
                radius: dot.width / 2
                color: root.color
                opacity: 0.3 + 0.7 * dot.index / 7
                x: dot.reach + Math.cos(dot.angle) * dot.reach
                y: dot.reach + Math.sin(dot.angle) * dot.reach
            }
        }

        RotationAnimator on rotation {
            from: 0
            to: 360
            duration: 900
            loops: Animation.Infinite
            running: root.visible
        }
    }
}
