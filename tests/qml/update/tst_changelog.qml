import QtQuick
import QtTest
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

        // One card per release of the model, newest first, each listing its items; "完成" closes.
        function test_cardsFollowTheModelAndDoneCloses() {
            const view = createTemporaryObject(changelogComponent, root)
            view.open()
            tryCompare(view, "opened", true)
            const first = findChild(view.contentItem, "card0")
            const last = findChild(view.contentItem, "card" + (model.rowCount() - 1))
            verify(first !== last)
            verify(first.y < last.y)
            verify(first.items.length > 0 && last.items.length > 0)
            mouseClick(findChild(view.contentItem, "doneButton"))
            tryCompare(view, "visible", false)
        }
    }
}
