import QtQuick
import QtTest
import Zephlin.App

TestCase {
    name: "Theme"

    function test_paletteSwitchesWithTheAppearance() {
        Theme.dark = true
        compare(Theme.zpBG, Qt.color("#0f1117"))
        compare(Theme.zpText, Qt.color("#e6e9ef"))
        Theme.dark = false
        compare(Theme.zpBG, Qt.color("#f4f6f9"))
        compare(Theme.zpText, Qt.color("#1f2430"))
        compare(Theme.accent, Qt.color("#07c160"))
    }

    function test_hexAndFontHelpers() {
        compare(Theme.hex("80ff0000").a.toFixed(2), (128 / 255).toFixed(2))
        compare(Theme.hex("ff"), Qt.color("#000000"))
        const font = Theme.zp(15, Font.DemiBold)
        compare(font.pixelSize, 15)
        compare(font.weight, Font.DemiBold)
    }
}
