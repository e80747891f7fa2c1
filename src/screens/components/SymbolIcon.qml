import QtQuick

// Line symbols drawn in one colour: "search", "back", "gear", "personMinus", "plus", "close",
// "checkCircle", "check", "megaphone", "globe", "chevronRight", "heart", "heartFill", "bubble", "trash",
// "compose", "camera", "minusCircle".
Canvas {
    id: icon
    required property string kind
    property color tint: "gray"
    property real size: 18
    implicitWidth: size
    implicitHeight: size
    onTintChanged: requestPaint()
    onKindChanged: requestPaint()
    Accessible.ignored: true

    onPaint: {
        const ctx = getContext("2d")
        const s = Math.min(width, height)
        ctx.reset()
        ctx.strokeStyle = tint
        ctx.fillStyle = tint
        ctx.lineWidth = Math.max(1.5, s * 0.1)
        ctx.lineCap = "round"
        ctx.lineJoin = "round"
        const line = (x1, y1, x2, y2) => { ctx.beginPath(); ctx.moveTo(x1 * s, y1 * s); ctx.lineTo(x2 * s, y2 * s); ctx.stroke() }
        const circle = (cx, cy, r, fill) => {
            ctx.beginPath(); ctx.arc(cx * s, cy * s, r * s, 0, Math.PI * 2)
            if (fill) ctx.fill(); else ctx.stroke()
        }
        switch (kind) {
        case "search":
            circle(0.42, 0.42, 0.28, false); line(0.63, 0.63, 0.88, 0.88); break
        case "back":
            line(0.65, 0.12, 0.3, 0.5); line(0.3, 0.5, 0.65, 0.88); break
        case "chevronRight":
            line(0.38, 0.2, 0.65, 0.5); line(0.65, 0.5, 0.38, 0.8); break
        case "plus":
            line(0.5, 0.15, 0.5, 0.85); line(0.15, 0.5, 0.85, 0.5); break
        case "close":
            line(0.3, 0.3, 0.7, 0.7); line(0.7, 0.3, 0.3, 0.7); break
        case "checkCircle":
            circle(0.5, 0.5, 0.42, false); line(0.3, 0.52, 0.45, 0.66); line(0.45, 0.66, 0.7, 0.36); break
        case "minusCircle":
            circle(0.5, 0.5, 0.42, true)
            ctx.strokeStyle = "white"; line(0.3, 0.5, 0.7, 0.5); break
        case "check":
            line(0.15, 0.52, 0.4, 0.76); line(0.4, 0.76, 0.86, 0.26); break
        case "camera":
            ctx.beginPath(); ctx.moveTo(0.08 * s, 0.3 * s); ctx.lineTo(0.32 * s, 0.3 * s); ctx.lineTo(0.4 * s, 0.16 * s)
            ctx.lineTo(0.6 * s, 0.16 * s); ctx.lineTo(0.68 * s, 0.3 * s); ctx.lineTo(0.92 * s, 0.3 * s)
            ctx.lineTo(0.92 * s, 0.84 * s); ctx.lineTo(0.08 * s, 0.84 * s); ctx.closePath(); ctx.fill()
            ctx.globalCompositeOperation = "destination-out"
            circle(0.5, 0.56, 0.17, true)
            ctx.globalCompositeOperation = "source-over"; break
        case "gear":
            for (let i = 0; i < 8; ++i) {
                const a = i * Math.PI / 4
                line(0.5 + Math.cos(a) * 0.3, 0.5 + Math.sin(a) * 0.3, 0.5 + Math.cos(a) * 0.44, 0.5 + Math.sin(a) * 0.44)
            }
            circle(0.5, 0.5, 0.27, false); circle(0.5, 0.5, 0.09, true); break
        case "personMinus":
            circle(0.38, 0.3, 0.16, true)
            ctx.beginPath(); ctx.moveTo(0.08 * s, 0.9 * s)
            ctx.quadraticCurveTo(0.08 * s, 0.52 * s, 0.38 * s, 0.52 * s)
            ctx.quadraticCurveTo(0.68 * s, 0.52 * s, 0.68 * s, 0.9 * s); ctx.closePath(); ctx.fill()
            line(0.74, 0.36, 0.96, 0.36); break
        case "megaphone":
            ctx.beginPath(); ctx.moveTo(0.12 * s, 0.38 * s); ctx.lineTo(0.38 * s, 0.38 * s); ctx.lineTo(0.82 * s, 0.14 * s)
            ctx.lineTo(0.82 * s, 0.82 * s); ctx.lineTo(0.38 * s, 0.6 * s); ctx.lineTo(0.12 * s, 0.6 * s); ctx.closePath(); ctx.fill()
            line(0.3, 0.6, 0.38, 0.86); break
        case "heart":
        case "heartFill":
            ctx.beginPath(); ctx.moveTo(0.5 * s, 0.86 * s)
            ctx.bezierCurveTo(0.1 * s, 0.6 * s, 0.04 * s, 0.34 * s, 0.2 * s, 0.2 * s)
            ctx.bezierCurveTo(0.32 * s, 0.1 * s, 0.46 * s, 0.16 * s, 0.5 * s, 0.3 * s)
            ctx.bezierCurveTo(0.54 * s, 0.16 * s, 0.68 * s, 0.1 * s, 0.8 * s, 0.2 * s)
            ctx.bezierCurveTo(0.96 * s, 0.34 * s, 0.9 * s, 0.6 * s, 0.5 * s, 0.86 * s)
            ctx.closePath()
            if (kind === "heartFill") ctx.fill(); else ctx.stroke()
            break
        case "bubble":
            ctx.beginPath(); ctx.moveTo(0.2 * s, 0.16 * s); ctx.lineTo(0.8 * s, 0.16 * s)
            ctx.quadraticCurveTo(0.9 * s, 0.16 * s, 0.9 * s, 0.26 * s); ctx.lineTo(0.9 * s, 0.6 * s)
            ctx.quadraticCurveTo(0.9 * s, 0.7 * s, 0.8 * s, 0.7 * s); ctx.lineTo(0.42 * s, 0.7 * s)
            ctx.lineTo(0.24 * s, 0.86 * s); ctx.lineTo(0.26 * s, 0.7 * s); ctx.lineTo(0.2 * s, 0.7 * s)
            ctx.quadraticCurveTo(0.1 * s, 0.7 * s, 0.1 * s, 0.6 * s); ctx.lineTo(0.1 * s, 0.26 * s)
            ctx.quadraticCurveTo(0.1 * s, 0.16 * s, 0.2 * s, 0.16 * s); ctx.stroke(); break
        case "trash":
            line(0.14, 0.24, 0.86, 0.24); line(0.38, 0.24, 0.42, 0.1); line(0.42, 0.1, 0.58, 0.1); line(0.58, 0.1, 0.62, 0.24)
            ctx.beginPath(); ctx.moveTo(0.22 * s, 0.24 * s); ctx.lineTo(0.28 * s, 0.9 * s); ctx.lineTo(0.72 * s, 0.9 * s)
            ctx.lineTo(0.78 * s, 0.24 * s); ctx.stroke()
            line(0.42, 0.4, 0.42, 0.74); line(0.58, 0.4, 0.58, 0.74); break
        case "compose":
            ctx.beginPath(); ctx.moveTo(0.5 * s, 0.16 * s); ctx.lineTo(0.14 * s, 0.16 * s); ctx.lineTo(0.14 * s, 0.86 * s)
            ctx.lineTo(0.84 * s, 0.86 * s); ctx.lineTo(0.84 * s, 0.5 * s); ctx.stroke()
            line(0.42, 0.58, 0.86, 0.14); line(0.42, 0.58, 0.38, 0.62); break
        case "globe":
            circle(0.5, 0.5, 0.4, false)
            ctx.beginPath(); ctx.ellipse(0.32 * s, 0.1 * s, 0.36 * s, 0.8 * s); ctx.stroke()
            line(0.1, 0.5, 0.9, 0.5); break
        }
    }
}
