import QtQuick
import QtTest
import Zephlin.App
import Zephlin.Chat
import Zephlin.Screens
import ZephlinTest

// The conversation list over a chat state fed with the server's frames: previews, the
// case-sensitive filter, request rows and badges, opening rooms and the request sheets.
TestCase {
    id: testCase
    name: "Conversations"
    when: windowShown
    visible: true
    width: 390
    height: 844

    Component {
        id: viewComponent
        Item {
            width: 390
            height: 844
            property alias view: messages
            property alias chat: chatState
            ChatViewModel { id: chatState }
            MessagesView {
                id: messages
                anchors.fill: parent
                appState: TestSupport.newAppState()
                chat: chatState
            }
        }
    }

    function make() {
        const host = createTemporaryObject(viewComponent, testCase)
        TestSupport.signIn(host.view.appState, "me", "Me")
        TestSupport.deliver("{'type':'hello','globalMsgs':[],"
            + "'friends':[{'id':'f1','username':'ab'},{'id':'f2','username':'Abe'}],"
            + "'groups':[{'id':'g1','name':'Abc club','owner':'me','members':['me','f1']}],"
            + "'dmRooms':{'f2_me':[{'id':'d1','from':'f2','to':'me','content':'yo','time':1}]},"
            + "'groupMsgs':{'g1':[{'id':'x1','from':'f1','fromName':'ab','content':'hey','time':1}]}}")
        // The list follows the chat state at the end of the event-loop turn.
        tryCompare(findChild(host.view, "conversationList"), "count", 4)
        return host
    }

    function rows(view) {
        const list = findChild(view, "conversationList")
        list.forceLayout()
        const result = []
        for (let i = 0; i < list.count; ++i)
            result.push(list.itemAtIndex(i))
        return result
    }

    function names(view) { return rows(view).map(r => r.name) }

    function test_previews() {
        const host = make()
        compare(rows(host.view).map(x => x.preview), ["在这里畅所欲言", "ab: hey", "", "yo"])
        TestSupport.deliver("{'type':'global','id':'h1','from':'x','content':'hi','time':2}")
        tryVerify(() => rows(host.view)[0].preview === ": hi")
        TestSupport.deliver("{'type':'global','id':'h2','from':'x','fromName':'Bob','content':'','images':['/a.jpg'],'time':3}")
        tryVerify(() => rows(host.view)[0].preview === "Bob: ")
        TestSupport.deliver("{'type':'presence','online':[{'id':'f2'}]}")
        tryVerify(() => rows(host.view)[3].online)
        verify(!rows(host.view)[2].online)
    }

    function test_filterIsCaseSensitiveAndKeepsTheFixedRows() {
        const host = make()
        TestSupport.deliver("{'type':'friend-request','request':{'id':'r1','from':'z','fromName':'Zed','time':1}}")
        tryVerify(() => rows(host.view)[1].kind === "friendRequests")
        host.view.searchText = "Ab"
        tryVerify(() => names(host.view).join("|") === "公共大厅|好友验证|Abc club|Abe")
        host.view.searchText = "zzz"
        tryVerify(() => names(host.view).join("|") === "公共大厅|好友验证")
        host.view.searchText = ""
        tryCompare(rows(host.view), "length", 5)
    }

    function test_requestRowsAndBadges() {
        const host = make()
        compare(rows(host.view)[1].kind, "group")
        for (const id of ["r1", "r2", "r3"])
            TestSupport.deliver("{'type':'friend-request','request':{'id':'" + id + "','from':'u" + id + "','fromName':'U','time':1}}")
        TestSupport.deliver("{'type':'group-apply-request','apply':{'id':'a1','from':'u9','fromName':'Nine','gid':'g1','groupName':'Abc club','time':1}}")
        tryVerify(() => rows(host.view)[1].count === 3 && rows(host.view)[2].kind === "groupRequests")
        compare(rows(host.view)[2].count, 1)
        compare(rows(host.view)[0].count, 0)

        // The request rows open their sheets; a room row opens the chat and the chat state's room.
        mouseClick(rows(host.view)[1])
        compare(host.view.showFriendRequests, true)
        tryCompare(findChild(host.view, "friendRequestsSheet"), "opened", true)
        keyClick(Qt.Key_Escape)
        tryCompare(host.view, "showFriendRequests", false)

        mouseClick(rows(host.view)[3])
        compare(host.view.activeRoom.isGroup, true)
        compare(host.view.activeRoom.gid, "g1")
        compare(host.chat.currentRoom.gid, "g1")
    }
}
