import QtQuick
import QtTest
import Zephlin.App
import Zephlin.Chat
import Zephlin.Screens
import ZephlinTest

// The contacts tab and the group sheets over a chat state fed with the server's frames, with a
// recording server for the commands they send: rows, the name cuts, member fallbacks, owner and
// member controls, search states, and exactly one frame per action (none for a refused one).
TestCase {
    id: testCase
    name: "Contacts"
    when: windowShown
    visible: true
    width: 390
    height: 844

    ChatViewModel { id: chatState }
    property AppState appState: TestSupport.newAppState()

    Component {
        id: contactsComponent
        ContactsView { width: 390; height: 844; appState: testCase.appState; chat: chatState }
    }
    Component { id: addFriendComponent; AddFriendView {} }
    Component { id: createGroupComponent; CreateGroupView { chat: chatState } }
    Component { id: searchComponent; SearchGroupView { chat: chatState } }
    Component { id: settingsComponent; GroupSettingsView { chat: chatState } }
    Component {
        id: addMembersComponent
        AddGroupMembersView { settings: GroupSettingsState { chat: chatState; gid: "g2" } }
    }

    function init() {
        verify(TestSupport.connectRecorder())
        TestSupport.signIn(appState, "me", "Me")
        TestSupport.deliver("{'type':'hello','friends':[{'id':'f1','username':'Ann'},{'id':'f2','username':'bob'},"
            + "{'id':'f3','username':'Cy','avatar':'/a/cy.jpg'}],"
            + "'groups':[{'id':'g1','name':'Club','owner':'me','members':['me','f1','f3','x9'],'memberNames':['Me']},"
            + "{'id':'g2','name':'Theirs','owner':'f1','members':['f1','me','f2','f3'],"
            + "'memberNames':['Ann','Me','bob','Cy'],'memberAvatars':['/a/ann.jpg']}],'pendingRequests':[],"
            + "'groupApplyRequests':[]}")
        chatState.searchResults = []
        wait(400) // the authentication frame goes out after a short delay
        TestSupport.takeSentFrames()
    }

    // Everything sent from now on, after waiting for at least `count` frames and a little more.
    function sent(count) {
        let frames = []
        if (count > 0)
            tryVerify(() => (frames = frames.concat(TestSupport.takeSentFrames())).length >= count)
        wait(100)
        return frames.concat(TestSupport.takeSentFrames())
    }

    // The one frame an action sent.
    function sentOne() {
        const frames = sent(1)
        compare(frames.length, 1)
        return frames[0]
    }

    function sheet(component, properties) {
        const item = createTemporaryObject(component, testCase, properties || {})
        tryCompare(item, "opened", true)
        return item
    }

    function type(text) {
        for (const c of text)
            keyClick(c)
    }

    // One line per row of a repeater: by default a contact row's name, subtitle and presence.
    function rowTexts(repeater, line) {
        const result = []
        for (let i = 0; i < repeater.count; ++i)
            result.push((line || (row => row.name + "|" + row.subtitle + "|" + row.online))(repeater.itemAt(i)))
        return result
    }

    function test_rowsOpenRoomsAndSheets() {
        const view = createTemporaryObject(contactsComponent, testCase)
        const newFriends = findChild(view, "newFriendsRow")
        verify(!newFriends.visible)
        for (const id of ["r1", "r2"])
            TestSupport.deliver("{'type':'friend-request','request':{'id':'" + id + "','from':'u" + id + "','time':1}}")
        tryVerify(() => newFriends.visible)
        compare(newFriends.subtitle, "2 条等待处理")

        compare(rowTexts(findChild(view, "groupRows")), ["Club|4 人|false", "Theirs|4 人|false"])
        const friends = findChild(view, "friendRows")
        compare(rowTexts(friends), ["Ann|离线|false", "bob|离线|false", "Cy|离线|false"])
        TestSupport.deliver("{'type':'presence','online':[{'id':'f2'}]}")
        tryCompare(friends.itemAt(1), "online", true)
        compare(rowTexts(friends), ["Ann|离线|false", "bob|在线|true", "Cy|离线|false"])
        verify(findChild(friends.itemAt(1), "subtitle").color.toString() !== findChild(friends.itemAt(0), "subtitle").color.toString())

        // Rows open rooms and sheets.
        waitForRendering(view)
        mouseClick(findChild(view, "groupRows").itemAt(1))
        compare(view.activeRoom.gid, "g2")
        compare(chatState.currentRoom.gid, "g2")
        view.closeRoom()
        mouseClick(findChild(view, "friendRows").itemAt(0))
        compare(view.activeRoom.peerId, "f1")
        compare(chatState.currentRoom.peerName, "Ann")

        for (const entry of [["addFriendRow", "showAddFriend", "addFriendSheet"],
                             ["createGroupRow", "showCreateGroup", "createGroupSheet"],
                             ["searchGroupRow", "showSearchGroup", "searchGroupSheet"]]) {
            mouseClick(findChild(view, entry[0]))
            tryCompare(findChild(view, entry[2]), "opened", true)
            keyClick(Qt.Key_Escape)
            tryCompare(view, entry[1], false)
        }
    }

    function test_addFriendSendsTheNameUntrimmed() {
        let s = sheet(addFriendComponent)
        mouseClick(findChild(s, "sendButton"))
        compare(s.message, "请输入用户名")
        compare(s.opened, true)
        compare(sent(0).length, 0)
        mouseClick(findChild(s, "usernameField"))
        type("  ")
        compare(s.message, "")
        mouseClick(findChild(s, "sendButton"))
        tryCompare(s, "visible", false)
        compare(sentOne(), { type: "friend-request", username: "  " })
    }

    function test_createGroupChecksThenSendsOnce() {
        const s = sheet(createGroupComponent)
        // The name is cut at 20 characters, typed or pasted.
        type("abcdefghijklmnopqrstuvwxy")
        compare(s.groupName, "abcdefghijklmnopqrst")
        s.groupName = ""
        SystemClipboard.setText("👍🏽".repeat(25))
        findChild(s, "groupNameField").paste()
        compare(s.groupName, "👍🏽".repeat(20))
        s.groupName = ""
        const create = findChild(s, "createButton")
        mouseClick(create)
        compare(s.message, "请输入群名称")
        mouseClick(findChild(s, "groupNameField"))
        type("Trip")
        compare(s.message, "")
        mouseClick(create)
        compare(s.message, "请至少选择一位好友")
        compare(sent(0).length, 0)
        const picks = findChild(s, "friendPicks")
        mouseClick(picks.itemAt(0))
        mouseClick(picks.itemAt(2))
        mouseClick(picks.itemAt(0))
        verify(picks.itemAt(2).picked && !picks.itemAt(0).picked)
        mouseClick(picks.itemAt(1))
        mouseClick(create)
        tryCompare(s, "visible", false)
        const frame = sentOne()
        frame.members.sort()
        compare(frame, { type: "create-group", name: "Trip", members: ["f2", "f3"] })
    }

    function test_searchStatesRowsAndApply() {
        const s = sheet(searchComponent)
        const empty = findChild(s, "emptyText")
        compare(empty.text, "输入关键词搜索群聊")
        verify(!findChild(s, "clearButton").visible)
        type("Cl")
        compare(empty.text, "未找到相关群聊")
        chatState.searchResults = [{ id: "g7", name: "Climb", memberCount: 5, ownerName: "Zoe" }, { id: "g8", name: "Clay" }]
        const list = findChild(s, "resultList")
        tryCompare(list, "visible", true)
        verify(!findChild(s, "emptyState").visible)
        list.forceLayout()
        compare(findChild(list.itemAtIndex(0), "detail").text, "5人 · 群主: Zoe")
        compare(findChild(list.itemAtIndex(1), "detail").text, "0人 · 群主: 未知")
        mouseClick(findChild(list.itemAtIndex(1), "applyButton"))
        compare(sentOne(), { type: "group-apply", gid: "g8" })

        chatState.showToast("已申请")
        tryCompare(findChild(s, "sheetToast"), "visible", true)
        mouseClick(findChild(s, "clearButton"))
        compare(s.keyword, "")
        compare(chatState.searchResults.length, 0)
        compare(empty.text, "输入关键词搜索群聊")
    }

    function memberRows(s) {
        return rowTexts(findChild(s, "memberRows"),
                        row => row.member.name + "|" + row.member.avatar + "|" + row.member.isOwner + "|" + row.removable)
    }

    function test_memberFallbacksAndOwnerControls() {
        const owned = sheet(settingsComponent, { gid: "g1" })
        compare(memberRows(owned), ["Me||true|false", "Ann||false|true", "Cy|/a/cy.jpg|false|true", "x9||false|true"])
        verify(findChild(owned, "renameButton").visible && findChild(owned, "addMembersButton").visible)
        compare(findChild(owned, "leaveButton").text, "解散群聊")

        const member = sheet(settingsComponent, { gid: "g2" })
        compare(memberRows(member), ["Ann|/a/ann.jpg|true|false", "Me||false|false", "bob||false|false", "Cy|/a/cy.jpg|false|false"])
        verify(!findChild(member, "renameButton").visible && !findChild(member, "addMembersButton").visible)
        compare(findChild(member, "leaveButton").text, "退出群聊")
        verify(!findChild(member, "pictureButton").enabled)

        const unknown = sheet(settingsComponent, { gid: "nope" })
        compare(unknown.settings.known, false)
        compare(memberRows(unknown).length, 0)
    }

    function test_settingsActionsSendOneFrameEach_data() {
        return [
            { tag: "remove", gid: "g1", act: s => mouseClick(findChild(findChild(s, "memberRows").itemAt(3), "removeButton")),
              expected: { type: "group-remove-member", gid: "g1", userId: "x9" }, closes: false },
            { tag: "dissolve", gid: "g1", act: s => mouseClick(findChild(s, "leaveButton")),
              expected: { type: "group-dissolve", gid: "g1" }, closes: true },
            { tag: "leave", gid: "g2", act: s => mouseClick(findChild(s, "leaveButton")),
              expected: { type: "group-leave", gid: "g2" }, closes: true }
        ]
    }

    function test_settingsActionsSendOneFrameEach(data) {
        const s = sheet(settingsComponent, { gid: data.gid })
        data.act(s)
        compare(sentOne(), data.expected)
        tryCompare(s, "visible", !data.closes)
    }

    function test_renameAlertCutsAndSendsOnlyANonEmptyName() {
        const s = sheet(settingsComponent, { gid: "g1" })
        mouseClick(findChild(s, "renameButton"))
        let field = null
        tryVerify(() => (field = findChild(s, "renameField")) && field.activeFocus)
        compare(field.text, "Club")
        field.selectAll()
        type("abcdefghijklmnopqrstuvwxy")
        compare(s.newName, "abcdefghijklmnopqrst")
        keyClick(Qt.Key_Return)
        tryCompare(s, "showRename", false)
        compare(sentOne(), { type: "group-rename", gid: "g1", name: "abcdefghijklmnopqrst" })

        mouseClick(findChild(s, "renameButton"))
        tryVerify(() => (field = findChild(s, "renameField")) && field.activeFocus)
        field.clear()
        keyClick(Qt.Key_Return)
        tryCompare(s, "showRename", false)
        compare(sent(0).length, 0)
    }

    function test_addMembersOffersOnlyNonMembers() {
        const s = sheet(settingsComponent, { gid: "g1" })
        compare(s.settings.availableFriends.map(f => f.username), ["bob"])
        mouseClick(findChild(s, "addMembersButton"))
        let add = null
        tryVerify(() => (add = findChild(s, "addMembersSheet")) && add.opened)
        const confirm = findChild(add, "confirmButton")
        verify(!confirm.enabled)
        verify(!findChild(add, "noFriends").visible)
        mouseClick(findChild(add, "friendPicks").itemAt(0))
        verify(confirm.enabled)
        mouseClick(confirm)
        compare(sentOne(), { type: "group-add-members", gid: "g1", members: ["f2"] })

        // Every friend is already in g2.
        const full = sheet(addMembersComponent)
        verify(findChild(full, "noFriends").visible)
        verify(!findChild(full, "confirmButton").enabled)
    }
}
