import QtQuick
import QtTest
import Zephlin.App
import Zephlin.Chat
import Zephlin.Screens
import ZephlinTest

// The chat screen over a chat state fed with the server's frames and a recording server for what
// it sends: rows and image cells, the mention list, the message actions and deleting a contact.
TestCase {
    id: testCase
    name: "ChatScreen"
    when: windowShown
    visible: true
    width: 390
    height: 844

    Component { id: chatStateComponent; ChatViewModel {} }
    Component {
        id: chatComponent
        ChatView {
            width: 390
            height: 844
            property int closedCount: 0
            onClosed: closedCount++
        }
    }

    property Item screen: null

    // The screen goes before the chat state it shows.
    function cleanup() {
        if (screen)
            screen.destroy()
    }

    // A chat screen over a fresh chat state, which restores what the sealed cache holds.
    function make(kind) {
        verify(TestSupport.connectRecorder())
        const chat = createTemporaryObject(chatStateComponent, testCase)
        const appState = TestSupport.newAppState()
        TestSupport.signIn(appState, "me", "Me")
        TestSupport.deliver("{'type':'hello','friends':[{'id':'f1','username':'Ann'},{'id':'f2','username':'bob'}],"
            + "'groups':[{'id':'g1','name':'Club','owner':'me','members':['me','f1','f2']}],"
            + "'globalMsgs':[{'id':'m1','from':'f1','fromName':'Ann','content':'@张三 看这里','time':1},"
            + "{'id':'m2','from':'me','fromName':'Me','content':'mine','time':2},"
            + "{'id':'m3','from':'f1','fromName':'Ann','content':'','images':['/u/1.jpg'],'time':3},"
            + "{'id':'m4','from':'f2','fromName':'bob','content':'four','images':['/a','/b','/c','https://x/d'],'time':4}],"
            + "'groupMsgs':{'g1':[{'id':'g1m','from':'f2','fromName':'bob','fromBot':true,'content':'beep','time':5}]}}")
        const room = kind === "dm" ? chat.dmRoom("f1", "Ann") : kind === "group" ? chat.groupRoom("g1", "Club") : chat.globalRoom()
        const view = screen = chatComponent.createObject(testCase, { appState: appState, chat: chat, room: room })
        wait(400) // the authentication frame goes out after a short delay
        TestSupport.takeSentFrames()
        return view
    }

    function row(view, index) {
        const list = view.messageList
        list.forceLayout()
        list.positionViewAtIndex(index, ListView.Contain)
        return list.itemAtIndex(index)
    }

    function test_rowsMentionsAndImageCells() {
        const view = make("global")
        tryCompare(view.messageList, "count", 4)
        verify(findChild(row(view, 0), "messageText").text.indexOf("<b>@张三</b>") >= 0)
        verify(row(view, 1).isMe)
        verify(!row(view, 0).isMe)
        // Sizes are known before any image arrives: one 160-point cell, or 70-point cells in 3 columns.
        const single = findChild(row(view, 2), "messageBubble")
        compare(single.width, 160 + 26)
        const four = findChild(row(view, 3), "messageBubble")
        compare(four.width, Math.max(3 * 70 + 2 * 4, findChild(row(view, 3), "messageText").width) + 26)
        compare(findChild(row(view, 0), "botBadge"), null) // no name lines in the hall
    }

    function test_groupBotAndMentionPanel() {
        const view = make("group")
        tryCompare(view.messageList, "count", 1)
        verify(findChild(row(view, 0), "botBadge").visible)
        compare(findChild(view, "chatSubtitle").text, "3 人")
        const field = findChild(view, "messageField")
        field.forceActiveFocus()
        type("@")
        let panel = null
        tryVerify(() => (panel = findChild(view, "mentionPanel")) !== null)
        compare(panel.users.map(u => u.username), ["Ann", "bob"]) // never the signed-in user
        keyClick(Qt.Key_Down)
        keyClick(Qt.Key_Return)
        compare(view.composer.messageText, "@bob ")
        compare(view.composer.showMentionPanel, false)
        type("@zz")
        tryVerify(() => findChild(view, "mentionEmpty") !== null && findChild(view, "mentionEmpty").visible)
        keyClick(Qt.Key_Escape)
        compare(view.composer.showMentionPanel, false)
        compare(view.closedCount, 0) // Escape closed the list, not the chat
    }

    function test_sendingThroughTheField() {
        const view = make("global")
        const field = findChild(view, "messageField")
        field.forceActiveFocus()
        type("line one")
        keyClick(Qt.Key_Return, Qt.ShiftModifier)
        type("two")
        keyClick(Qt.Key_Return)
        const frame = sentOne()
        compare(frame.type, "global")
        compare(frame.content, "line one\ntwo")
        compare(field.text, "")
        // Not confirmed yet, it has no id on the server to recall.
        tryCompare(view.messageList, "count", 5)
        view.contextMenuMessage = row(view, 4).message
        verify(!findButton(openedPopup(view, "messageActions"), "撤回").visible)
        keyClick(Qt.Key_Escape)
        // Confirmed, so that no pending message outlives the test in the shared cache.
        TestSupport.deliver("{'type':'global','id':'s1','from':'me','content':'line one','time':9,'clientId':'"
            + frame.clientId + "'}")
        tryCompare(view.messageList, "count", 5)
        verify(!row(view, 4).isPending)
    }

    function test_actionsRecallCopyAndClose() {
        const view = make("global")
        tryCompare(view.messageList, "count", 4)
        // Copy puts the content on the clipboard.
        view.contextMenuMessage = { id: "m1", content: "@张三 看这里", isFromMe: false }
        let dialog = openedPopup(view, "messageActions")
        mouseClick(findButton(dialog, "复制"))
        compare(SystemClipboard.text(), "@张三 看这里")
        compare(view.contextMenuMessage, null)

        // A recall the chat state refuses (too old) still removes the row.
        view.contextMenuMessage = { id: "m2", content: "mine", isFromMe: true }
        dialog = openedPopup(view, "messageActions")
        mouseClick(findButton(dialog, "撤回"))
        tryCompare(view.messageList, "count", 3)
        compare(view.chat.toast.length > 0, true)

        view.contextMenuMessage = { id: "m1", content: "x", isFromMe: false }
        dialog = openedPopup(view, "messageActions")
        verify(!findButton(dialog, "撤回").visible)
        keyClick(Qt.Key_Escape)
        tryCompare(view, "contextMenuMessage", null)
        compare(view.closedCount, 0)
        keyClick(Qt.Key_Escape)
        compare(view.closedCount, 1)
    }

    function test_failedMarkAndResend() {
        // A message the server never confirmed, as the restarted app finds it in its cache.
        verify(TestSupport.storeSealed("zp_global_msgs",
            "[{'id':'temp_C1','clientId':'C1','from':'me','content':'lost','time':9,'failed':true}]"))
        const view = make("global")
        tryCompare(view.messageList, "count", 5)
        const failed = row(view, 4)
        verify(findChild(failed, "failedMark").visible)
        verify(!findChild(row(view, 3), "failedMark").visible)

        view.contextMenuMessage = failed.message
        const dialog = openedPopup(view, "messageActions")
        mouseClick(findButton(dialog, "重发"))
        compare(view.contextMenuMessage, null)
        const frame = sentOne()
        compare(frame.clientId, "C1")
        compare(frame.content, "lost")
        verify(!findChild(row(view, 4), "failedMark").visible)

        // The echo answers it; the button is only offered for failed messages.
        TestSupport.deliver("{'type':'global','id':'m9','from':'me','content':'lost','time':9,'clientId':'C1'}")
        tryCompare(row(view, 4), "messageId", "m9")
        view.contextMenuMessage = row(view, 4).message
        verify(!findButton(openedPopup(view, "messageActions"), "重发").visible)
        keyClick(Qt.Key_Escape)
    }

    function test_deleteContactSendsOneUnfriend() {
        const view = make("dm")
        compare(findChild(view, "chatSubtitle").text, "离线")
        mouseClick(findChild(view, "deleteContactButton"))
        const dialog = openedPopup(view, "deleteContactDialog")
        mouseClick(findButton(dialog, "删除"))
        compare(view.closedCount, 1)
        compare(sentOne(), { type: "unfriend", userId: "f1" })
    }

    // The one frame an action sent.
    function sentOne() {
        let frames = []
        tryVerify(() => (frames = frames.concat(TestSupport.takeSentFrames())).length > 0)
        wait(50)
        frames = frames.concat(TestSupport.takeSentFrames())
        compare(frames.length, 1)
        return frames[0]
    }

    // A popup that went away is destroyed on the next turn of the event loop; wait for the new one.
    function openedPopup(view, name) {
        let popup = null
        tryVerify(() => (popup = findChild(view, name)) !== null && popup.opened === true)
        return popup
    }

    function type(text) {
        for (const c of text)
            keyClick(c)
    }

    function findButton(dialog, label) {
        const buttons = dialog.actions
        for (let i = 0; i < buttons.length; ++i)
            if (buttons[i].text === label)
                return buttons[i]
        return null
    }
}
