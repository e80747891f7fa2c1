import QtQuick
import QtTest
import Zephlin.App
import Zephlin.Update

// A TestCase is invisible itself: what the cases create goes on this visible root.
Item {
    id: root
    width: 390
    height: 700

    TestCase {
        name: "ChangelogView"
        when: windowShown

        Component {
            id: changelogComponent
            ChangelogView {}
        }

        ChangelogModel {
            id: model
        }

        function test_model() {
            compare(model.rowCount(), 2)
        }

        function test_cardsShowVersionsBadgesAndDates() {
            const view = createTemporaryObject(changelogComponent, root)
            view.open()
            tryCompare(view, "opened", true)
            const first = findChild(view.contentItem, "card0")
            const second = findChild(view.contentItem, "card1")
            compare(first.version, "v2.0.0")
            compare(findChild(first, "badgeText").text, "最新")
            compare(findChild(first, "badge").color, Theme.hex("07c160"))
            compare(findChild(first, "date").text, "2026-09-13")
            compare(first.items.length, 7)
            compare(first.items[3], "新增图片双层缓存（内存+磁盘），图片不再重复加载")
            compare(second.version, "v1.0")
            compare(findChild(second, "badgeText").text, "初始")
            compare(findChild(second, "badge").color, Theme.hex("6b7280"))
            compare(findChild(second, "date").text, "首次发布")
            compare(second.items.length, 6)
            verify(first.y < second.y)
            compare(first.radius, 12)
        }

        function test_doneCloses() {
            const view = createTemporaryObject(changelogComponent, root)
            view.open()
            tryCompare(view, "opened", true)
            const done = findChild(view.contentItem, "doneButton")
            compare(done.text, "完成")
            compare(done.color, Theme.hex("07c160"))
            mouseClick(done)
            tryCompare(view, "visible", false)
        }
    }
}
