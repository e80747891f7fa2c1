import QtQuick
import QtTest
import Zephlin.Update

// A TestCase is invisible itself: what the cases create goes on this visible root.
Item {
    id: root
    width: 390
    height: 700

    TestCase {
        name: "UpdateDialog"
        when: windowShown

        Component {
            id: dialogComponent
            UpdateDialog {}
        }

        function test_presentsTheCheckersAlerts() {
            const dialog = createTemporaryObject(dialogComponent, root)
            verify(!dialog.visible)
            AppUpdateChecker.checkAndPrompt()
            tryCompare(dialog, "visible", true)
            tryCompare(findChild(dialog.contentItem, "alertTitle"), "text", "发现新版本 99.0")
            compare(findChild(dialog.contentItem, "alertMessage").text, "新功能")
            const later = findChild(dialog.contentItem, "alertButton1")
            compare(later.text, "稍后再说")
            compare(findChild(dialog.contentItem, "alertButton0").text, "下载更新")
            mouseClick(later)
            tryCompare(dialog, "visible", false)
            compare(AppUpdateChecker.stage, AppUpdateChecker.Idle)
        }
    }
}
