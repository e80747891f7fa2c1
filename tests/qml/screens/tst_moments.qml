import QtQuick
import QtQuick.Controls.Basic
import QtTest
import Zephlin.App
import Zephlin.Chat
import Zephlin.Images
import Zephlin.Screens
import ZephlinTest

// The moments feed and the posting form, driven through their controls; the feed is filled with the
// frames the server sends, its images come from the local HTTPS server signed by the test CA.
Item {
    id: root
    width: 390
    height: 844

    ChatViewModel { id: chatState }

    Component {
        id: feedComponent
        MomentsView {
            anchors.fill: parent
            chat: chatState
            isPresented: true
        }
    }

    TestCase {
        name: "Moments"
        when: windowShown

        readonly property var sample: [
            { id: "m1", author: "me", authorName: "我", text: "今天天气很好", images: ["/photo.png"], time: Date.now(),
              likes: ["b"], comments: [{ author: "b", authorName: "Bob", text: "赞", time: 1 },
                                       { author: "c", text: "好看", time: 2 }] },
            { id: "m2", author: "b", authorName: "Bob", text: "", images: ["/a.png", "/b.png", "/c.png", "/d.png"],
              time: Date.now() - 120000, likes: ["me"],
              comments: [{ author: "me", text: "不错", time: 3 }, { author: "c", text: "同意", time: 4 }] }
        ]

        function deliver(moments) { TestSupport.deliver(JSON.stringify({ type: "moments", moments: moments })) }

        function makeFeed(moments) {
            const appState = TestSupport.newAppState()
            TestSupport.signIn(appState, "me", "我")
            MediaTestSupport.setServerURL(MediaTestSupport.baseURL())
            deliver(moments)
            const view = createTemporaryObject(feedComponent, root, { appState: appState })
            tryCompare(view.feed, "count", moments.length)
            if (moments.length > 0)
                tryVerify(() => card(view, moments.length - 1) !== null)
            waitForRendering(view)
            return view
        }

        // Every visible item named `name` under `item`, in tree order.
        function named(item, name) {
            let found = []
            if (!item || !item.children)
                return found
            for (let i = 0; i < item.children.length; ++i) {
                const child = item.children[i]
                if (child.objectName === name && child.visible)
                    found.push(child)
                found = found.concat(named(child, name))
            }
            return found
        }
        function card(view, index) { return view.feed.itemAtIndex(index) }

        // The empty state gives way to the feed; Escape and the back button close it.
        function test_emptyFeedFillsAndCloses() {
            const view = makeFeed([])
            verify(findChild(view, "momentsEmpty").visible)
            deliver(sample)
            verify(!findChild(view, "momentsEmpty").visible)
            compare(view.feed.count, 2)
            const closed = createTemporaryQmlObject("import QtTest; SignalSpy {}", root)
            closed.target = view
            closed.signalName = "closed"
            view.forceActiveFocus()
            keyClick(Qt.Key_Escape)
            mouseClick(findChild(view, "momentsBackButton"))
            compare(closed.count, 2)
        }

        function test_cardsInTheServersOrderWithHeartsGridsAndDeleteButtons() {
            const view = makeFeed(sample)
            const mine = card(view, 0), theirs = card(view, 1)
            compare(named(mine, "momentAuthor")[0].text, "我")
            // The heart follows the likes list.
            compare(named(mine, "likeButton")[0].symbol, "heart")
            compare(named(theirs, "likeButton")[0].symbol, "heartFill")
            compare(named(mine, "likeButton")[0].count, 1)
            // Trash on the own moment only; comment deletes on every comment of the own moment, and
            // on the own comment under another's.
            compare(named(mine, "deleteMomentButton").length, 1)
            compare(named(theirs, "deleteMomentButton").length, 0)
            compare(named(mine, "deleteCommentButton").length, 2)
            compare(named(theirs, "deleteCommentButton").length, 1)
            // One image: one wide cell; four: three columns, two rows.
            const single = named(mine, "momentImages")[0], four = named(theirs, "momentImages")[0]
            compare(single.columns, 1)
            compare(four.columns, 3)
            verify(single.children[0].width > 2 * four.children[0].width)
            compare(four.height, 2 * four.children[0].height + four.spacing)
        }

        function test_feedImageLoadsOverVerifiedTlsAndOpensInPreview() {
            const view = makeFeed(sample)
            const cell = named(card(view, 0), "momentImages")[0].children[0]
            let loaded = null
            for (let i = 0; i < cell.children.length; ++i)
                if (cell.children[i].loadState !== undefined)
                    loaded = cell.children[i]
            verify(loaded !== null)
            tryCompare(loaded, "loadState", ImageLoader.Loaded)
            verify(MediaTestSupport.requestCount("/photo.png") > 0)
            // A tap shows it full screen.
            mouseClick(cell)
            compare(view.previewImageURL, MediaTestSupport.url("/photo.png"))
        }

        function test_actionsSendCommandsAndChangeNothingLocally() {
            const view = makeFeed(sample)
            verify(TestSupport.connectRecorder())
            tryVerify(() => WebSocketService.isConnected)
            TestSupport.takeSentFrames()
            const before = JSON.stringify(chatState.moments)
            mouseClick(named(card(view, 1), "likeButton")[0])
            mouseClick(named(card(view, 0), "deleteCommentButton")[0])
            mouseClick(named(card(view, 0), "deleteMomentButton")[0])
            mouseClick(named(card(view, 0), "commentButton")[0])
            view.commentText = "好看"
            view.sendComment()
            let frames = []
            tryVerify(() => (frames = frames.concat(TestSupport.takeSentFrames())).length === 4)
            compare(JSON.stringify(frames.map(f => [f.type, f.mid, f.cid || f.text || ""])), JSON.stringify([
                ["moment-like", "m2", ""], ["moment-comment-delete", "m1", "b赞1"], ["moment-delete", "m1", ""],
                ["moment-comment", "m1", "好看"]]))
            compare(JSON.stringify(chatState.moments), before)
            WebSocketService.disconnectFromServer()
        }

        function commentDialog(view) { return findChild(view, "commentLoader").popupItem }
        function openComment(view, index) {
            mouseClick(named(card(view, index), "commentButton")[0])
            tryVerify(() => commentDialog(view) && commentDialog(view).opened)
        }

        function test_commentDialogRules() {
            const view = makeFeed(sample)
            openComment(view, 1)
            compare(view.commentMoment.id, "m2")
            // Cancel keeps the typed text for the next dialog.
            view.commentText = "好看"
            mouseClick(findChild(commentDialog(view), "commentCancel"))
            compare(view.commentMoment, null)
            compare(view.commentText, "好看")
            openComment(view, 0)
            compare(findChild(commentDialog(view), "commentField").text, "好看")
            // Sending clears the text and closes.
            mouseClick(findChild(commentDialog(view), "commentSend"))
            compare(view.commentMoment, null)
            compare(view.commentText, "")
            // Empty text only closes.
            openComment(view, 0)
            mouseClick(findChild(commentDialog(view), "commentSend"))
            compare(view.commentMoment, null)
            // Escape dismisses it too.
            openComment(view, 0)
            keyClick(Qt.Key_Escape)
            tryCompare(view, "commentMoment", null)
        }

        function openForm(view) {
            mouseClick(findChild(view, "composeButton"))
            tryVerify(() => findChild(view, "postLoader").popupItem && findChild(view, "postLoader").popupItem.opened)
            return findChild(view, "postLoader").popupItem
        }

        function test_formCutsTextAtTwoThousandCharacters() {
            const sheet = openForm(makeFeed([]))
            const editor = findChild(sheet, "momentEditor")
            // Pasted in one piece.
            editor.insert(0, "👍🏽".repeat(2001))
            compare(editor.text, "👍🏽".repeat(2000))
            compare(findChild(sheet, "textSectionHeader").text, "这一刻的想法…（2000/2000）")
        }

        function test_nineImagesDisableThePickerUntilOneIsRemoved() {
            const sheet = openForm(makeFeed([]))
            const picker = findChild(sheet, "addImageButton")
            for (let i = 0; i < 9; ++i)
                sheet.composer.images.addFile(MediaTestSupport.pictureFile())
            compare(findChild(sheet, "imageCounter").text, "9/9")
            verify(!picker.enabled)
            waitForRendering(sheet.contentItem)
            mouseClick(named(sheet.contentItem, "removeDraft")[0])
            compare(findChild(sheet, "imageCounter").text, "8/9")
            verify(picker.enabled)
        }

        function test_postingRefusesAnEmptyFormAndKeepsAFailedOne() {
            const view = makeFeed([])
            const sheet = openForm(view)
            mouseClick(findChild(sheet, "sheetTrailingButton"))
            compare(findChild(sheet, "postMessage").text, "内容不能为空")
            // The local server knows no posting: the post fails and the form keeps its content.
            findChild(sheet, "momentEditor").insert(0, "hello")
            sheet.composer.images.addFile(MediaTestSupport.pictureFile())
            mouseClick(findChild(sheet, "sheetTrailingButton"))
            tryVerify(() => !sheet.composer.isLoading && findChild(sheet, "postMessage").text !== "内容不能为空")
            verify(findChild(sheet, "postMessage").visible)
            compare(findChild(sheet, "momentEditor").text, "hello")
            compare(sheet.composer.images.count, 1)
            verify(sheet.opened)
        }

        function test_noTokenClosesTheFormWithoutARequest() {
            const view = makeFeed([])
            const sheet = openForm(view)
            view.appState.token = ""
            findChild(sheet, "momentEditor").insert(0, "hello")
            mouseClick(findChild(sheet, "sheetTrailingButton"))
            tryCompare(view, "showPostMoment", false)
            compare(MediaTestSupport.requestCount("/api/moment-post"), 0)
        }
    }
}
