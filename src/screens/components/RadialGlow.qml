import QtQuick

// A colour fading to clear around a point, drawn over the whole parent.
Canvas {
    id: glow
    required property real centerX
    required property real centerY
    required property real radius
    required property color glowColor
    anchors.fill: parent
    onWidthChanged: requestPaint()
    onHeightChanged: requestPaint()

    onPaint: {
        const ctx = getContext("2d")
        ctx.reset()
        const gradient = ctx.createRadialGradient(centerX, centerY, 0, centerX, centerY, radius)
        gradient.addColorStop(0, glowColor)
        gradient.addColorStop(1, Qt.rgba(glowColor.r, glowColor.g, glowColor.b, 0))
        ctx.fillStyle = gradient
        ctx.fillRect(0, 0, width, height)
    }
}
