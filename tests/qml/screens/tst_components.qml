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
        const grey = button.background.color.toString()
        button.isDisabled = false
        mouseClick(button)
        compare(clickSpy.count, 1)
        verify(button.background.color.toString() !== grey)
    }

    function test_secureFieldMasksWithoutCorrection() {
        const field = createTemporaryObject(fieldComponent, testCase, { isSecure: true })
        field.forceActiveFocus()
        keyClick(Qt.Key_A)
        keyClick(Qt.Key_B)
        compare(field.text, "ab")
        verify(field.displayText !== "ab")
        const plain = createTemporaryObject(fieldComponent, testCase)
        plain.text = "ab"
        compare(plain.displayText, "ab")
    }

    // The moments entry sets its flag (a second click does not toggle it back); the sibling site
    // asks first, and closing the warning clears its flag.
    function test_discoverEntries() {
        const discover = createTemporaryObject(discoverComponent, testCase)
        const moments = findChild(discover, "discoverSiblingEntry").parent.children[0]
        mouseClick(moments)
        mouseClick(moments)
        compare(discover.showMoments, true)
        verify(!discover.siblingWarningShown)
        mouseClick(findChild(discover, "discoverSiblingEntry"))
        tryCompare(discover, "siblingWarningShown", true)
        const warning = findChild(discover, "siblingWarning")
        compare(warning.title, "警告")
        warning.close()
        tryCompare(discover, "siblingWarningShown", false)
    }
}
