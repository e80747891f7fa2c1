import QtQuick
import Zephlin.App
import Zephlin.Chat

// Waiting friend requests; an answer goes to the server, which then drops the request.
RequestListSheet {
    id: sheet
    required property ChatViewModel chat
    objectName: "friendRequestsSheet"
    title: "好友验证"
    emptyText: "暂无待处理的好友请求"
    requests: chat.pendingRequests
    rowDelegate: FriendRequestRow {
        required property var modelData
        width: ListView.view.width
        req: modelData
        onAction: action => WebSocketService.respondRequest(modelData.id, action)
    }
}
