import QtQuick
import Zephlin.Chat

// Waiting applications to join the user's groups, answered through the chat state.
RequestListSheet {
    id: sheet
    required property ChatViewModel chat
    objectName: "groupRequestsSheet"
    title: "群申请"
    emptyText: "暂无待处理的入群申请"
    requests: chat.groupRequests
    rowDelegate: GroupRequestRow {
        required property var modelData
        width: ListView.view.width
        req: modelData
        onAction: action => sheet.chat.respondToGroupRequest(modelData.id, action)
    }
}
