import QtQuick

// The four tab symbols, drawn as simple filled shapes: "message", "contacts", "discover", "me".
Canvas {
    id: icon
    required property string kind
    property color tint: "gray"
    implicitWidth: 26
    implicitHeight: 26
    onTintChanged: requestPaint()

    function person(ctx, cx, headY, headR, bodyW, bodyTop, bottom) {
        ctx.beginPath()
        ctx.arc(cx, headY, headR, 0, Math.PI * 2)
        ctx.fill()
        ctx.beginPath()
        ctx.moveTo(cx - bodyW / 2, bottom)
        ctx.quadraticCurveTo(cx - bodyW / 2, bodyTop, cx, bodyTop)
        ctx.quadraticCurveTo(cx + bodyW / 2, bodyTop, cx + bodyW / 2, bottom)
        ctx.closePath()
        ctx.fill()
    }

    onPaint: {
        const ctx = getContext("2d")
        const w = width, h = height
        ctx.reset()
        ctx.fillStyle = tint
        if (kind === "message") {
            ctx.beginPath()
            ctx.ellipse(w * 0.08, h * 0.12, w * 0.84, h * 0.64)
            ctx.fill()
            ctx.beginPath()
            ctx.moveTo(w * 0.25, h * 0.62)
            ctx.lineTo(w * 0.18, h * 0.92)
            ctx.lineTo(w * 0.48, h * 0.72)
            ctx.closePath()
            ctx.fill()
        } else if (kind === "contacts") {
            ctx.globalAlpha = 0.6
            person(ctx, w * 0.68, h * 0.3, w * 0.14, w * 0.46, h * 0.52, h * 0.86)
            ctx.globalAlpha = 1
            person(ctx, w * 0.38, h * 0.32, w * 0.17, w * 0.62, h * 0.56, h * 0.92)
        } else if (kind === "discover") {
            ctx.beginPath()
            ctx.arc(w / 2, h / 2, w * 0.44, 0, Math.PI * 2)
            ctx.fill()
            ctx.globalCompositeOperation = "destination-out"
            ctx.beginPath()
            ctx.moveTo(w * 0.68, h * 0.32)
            ctx.lineTo(w * 0.55, h * 0.55)
            ctx.lineTo(w * 0.32, h * 0.68)
            ctx.lineTo(w * 0.45, h * 0.45)
            ctx.closePath()
            ctx.fill()
            ctx.globalCompositeOperation = "source-over"
        } else {
            person(ctx, w / 2, h * 0.3, w * 0.2, w * 0.74, h * 0.58, h * 0.94)
        }
    }
}
