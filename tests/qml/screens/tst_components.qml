import QtQuick
import QtTest
import Zephlin.App
import Zephlin.Screens

// The shared controls and the discover screen.
TestCase {
    id: testCase
    name: "Components"
    when: windowShown
    width: 390
    height: 844
    visible: true // items under an invisible test case get no input

    Component { id: buttonComponent; PrimaryButton { width: 300; title: "登 录" } }
    Component { id: fieldComponent; AppTextField { width: 300; placeholderText: "密码" } }
    Component { id: discoverComponent; DiscoverView { width: 390; height: 844 } }
    SignalSpy { id: clickSpy; signalName: "clicked" }

    function test_disabledPrimaryButtonIsGreyAndInert() {
        const button = createTemporaryObject(buttonComponent, testCase, { isDisabled: true })
        clickSpy.target = button
        clickSpy.clear()
        mouseClick(button)
        compare(clickSpy.count, 0)
        compare(button.background.color, Qt.color("#8e8e93"))
        button.isDisabled = false
        mouseClick(button)
        compare(clickSpy.count, 1)
        compare(button.background.color, Qt.color("#07c160"))
        compare(button.contentItem.color, Qt.color("#006622"))
    }

    function test_secureFieldMasksWithoutCorrection() {
        const field = createTemporaryObject(fieldComponent, testCase, { isSecure: true })
        field.forceActiveFocus()
        keyClick(Qt.Key_A)
        keyClick(Qt.Key_B)
        compare(field.text, "ab")
        verify(field.displayText !== "ab")
        verify(field.inputMethodHints & Qt.ImhNoAutoUppercase)
        verify(field.inputMethodHints & Qt.ImhNoPredictiveText)
        const plain = createTemporaryObject(fieldComponent, testCase)
        plain.text = "ab"
        compare(plain.displayText, "ab")
    }

    function test_momentsEntrySetsTheFlagOnce() {
        const discover = createTemporaryObject(discoverComponent, testCase)
        const entries = findChild(discover, "discoverSiblingEntry").parent
        const moments = entries.children[0]
        mouseClick(moments)
        mouseClick(moments)
        compare(discover.showMoments, true)
    }

    function test_siblingSiteAsksFirstAndCancelCloses() {
        const discover = createTemporaryObject(discoverComponent, testCase)
        verify(!discover.siblingWarningShown)
        mouseClick(findChild(discover, "discoverSiblingEntry"))
        tryCompare(discover, "siblingWarningShown", true)
        const warning = findChild(discover, "siblingWarning")
        compare(warning.title, "警告")
        warning.close()
        tryCompare(discover, "siblingWarningShown", false)
    }
}
