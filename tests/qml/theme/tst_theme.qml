import QtQuick
import QtTest
import Zephlin.App

TestCase {
    name: "Theme"

    function test_paletteSwitchesWithTheAppearance() {
        Theme.dark = true
        const dark = Theme.zpBG.toString()
        Theme.dark = false
        verify(Theme.zpBG.toString() !== dark)
    }

    function test_hexAndFontHelpers() {
        compare(Theme.hex("80ff0000").a.toFixed(2), (128 / 255).toFixed(2))
        compare(Theme.hex("ff"), Qt.color("#000000"))
        const font = Theme.zp(15, Font.DemiBold)
        compare(font.pixelSize, 15)
        compare(font.weight, Font.DemiBold)
    }
}
