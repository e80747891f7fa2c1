#include "ScreenshotTour.h"

#include "ChatViewModel.h"
#include "DraftImageList.h"
#include "MessageFormat.h"
#include "ZephlinApplication.h"

#include <QImage>
#include <QQuickWindow>

// The conversation list, the request sheet and every state of the chat screen, as alice sees them.
void ScreenshotTour::planChatScreens(const QString &suffix)
{
    const auto always = [] { return true; };
    const auto chatShown = [this] { return find(QStringLiteral("chatView")) != nullptr; };
    const auto closeChat = [this] { call(QStringLiteral("messagesView"), "closeRoom"); };
    m_steps.append({always, [this] {
                        setProperty(QStringLiteral("mainTabs"), "selectedTab", 0);
                        setProperty(QStringLiteral("messagesView"), "searchText", QStringLiteral("周"));
                    }, 400, QStringLiteral("messages-search") + suffix});
    m_steps.append({always, [this] {
                        setProperty(QStringLiteral("messagesView"), "searchText", QString());
                        setProperty(QStringLiteral("messagesView"), "showFriendRequests", true);
                    }, 500, QStringLiteral("friend-requests") + suffix});
    m_steps.append({always, [this] {
                        setProperty(QStringLiteral("messagesView"), "showFriendRequests", false);
                        openRoom(QVariant::fromValue(RoomType::global()));
                    }, 1500, QStringLiteral("chat-hall") + suffix});
    m_steps.append({chatShown, [this] { compose(QStringLiteral("@")); }, 400, QStringLiteral("chat-mention") + suffix});
    m_steps.append({always, [this] { compose(QStringLiteral("@没有这个人")); }, 400,
                    QStringLiteral("chat-mention-none") + suffix});
    m_steps.append({always, [this] {
                        compose(QString());
                        QObject *input = composer();
                        auto *drafts = input ? input->property("draftImages").value<DraftImageList *>() : nullptr;
                        for (const QColor &colour : {QColor(0x0e, 0xa5, 0xe9), QColor(0xf5, 0x9e, 0x0b)}) {
                            QImage image(240, 240, QImage::Format_RGB32);
                            image.fill(colour);
                            if (drafts)
                                drafts->addImage(image);
                        }
                        compose(QStringLiteral("看看这两张"));
                    }, 400, QStringLiteral("chat-drafts") + suffix});
    m_steps.append({always, [this] {
                        if (QObject *input = composer())
                            QMetaObject::invokeMethod(input->property("draftImages").value<QObject *>(), "clear");
                        compose(QString());
                        setProperty(QStringLiteral("chatView"), "contextMenuMessage",
                                    QVariantMap{{QStringLiteral("id"), QStringLiteral("tour")},
                                                {QStringLiteral("content"), QStringLiteral("拍得真好！")},
                                                {QStringLiteral("isFromMe"), true}});
                    }, 500, QStringLiteral("chat-actions") + suffix});
    m_steps.append({always, [this] {
                        setProperty(QStringLiteral("chatView"), "contextMenuMessage", QVariant::fromValue(nullptr));
                        QString picture;
                        const ChatViewModel *chat = m_app.window()->property("chat").value<ChatViewModel *>();
                        for (const ChatMessage &message : chat ? chat->globalMessages() : QList<ChatMessage>())
                            if (message.images && !message.images->isEmpty())
                                picture = MessageFormat::imageURL(message.images->first());
                        setProperty(QStringLiteral("chatView"), "previewImageURL", picture);
                    }, 1200, QStringLiteral("chat-preview") + suffix});
    m_steps.append({always, [this, closeChat] {
                        setProperty(QStringLiteral("chatView"), "previewImageURL", QString());
                        closeChat();
                    }, 300, QString()});
    m_steps.append({[this] { return find(QStringLiteral("chatView")) == nullptr; }, [this] {
                        const QVariantMap group = firstChatRecord("groups");
                        openRoom(QVariant::fromValue(RoomType::group(group.value(QStringLiteral("id")).toString(),
                                                                     group.value(QStringLiteral("name")).toString())));
                    }, 1000, QStringLiteral("chat-group") + suffix});
    m_steps.append({always, closeChat, 300, QString()});
    m_steps.append({[this] { return find(QStringLiteral("chatView")) == nullptr; }, [this] {
                        const ChatViewModel *chat = m_app.window()->property("chat").value<ChatViewModel *>();
                        for (const User &user : chat ? chat->friends() : QList<User>())
                            if (user.username == QLatin1String("bob"))
                                openRoom(QVariant::fromValue(RoomType::dm(user.id, user.username)));
                    }, 1000, QStringLiteral("chat-direct") + suffix});
    m_steps.append({always, [this] { setProperty(QStringLiteral("chatView"), "showDeleteConfirm", true); }, 500,
                    QStringLiteral("chat-delete-contact") + suffix});
    m_steps.append({always, [this] {
                        setProperty(QStringLiteral("chatView"), "showDeleteConfirm", false);
                        // Two sends within half a second: the second is refused with a toast.
                        compose(QStringLiteral("好的，周六见！"));
                        QMetaObject::invokeMethod(composer(), "send");
                        compose(QStringLiteral("👍"));
                        QMetaObject::invokeMethod(composer(), "send");
                    }, 600, QStringLiteral("chat-toast") + suffix});
    m_steps.append({always, closeChat, 400, QString()});
}

// A message the server refuses (小明 is not alice's friend yet): unconfirmed, it is marked failed
// once the wait for its echo is over, and its actions offer "重发".
void ScreenshotTour::planFailedMessage(const QString &suffix)
{
    const auto always = [] { return true; };
    m_steps.append({always, [this] {
                        const QVariantMap request = firstChatRecord("pendingRequests");
                        openRoom(QVariant::fromValue(RoomType::dm(request.value(QStringLiteral("from")).toString(),
                                                                  request.value(QStringLiteral("fromName")).toString())));
                    }, 800, QString()});
    m_steps.append({[this] { return composer() != nullptr; }, [this] {
                        compose(QStringLiteral("你好，周末一起去爬山吗？"));
                        QMetaObject::invokeMethod(composer(), "send");
                    }, 16000, QStringLiteral("chat-failed") + suffix});
    m_steps.append({always, [this] {
                        const ChatViewModel *chat = m_app.window()->property("chat").value<ChatViewModel *>();
                        const std::optional<RoomType> room = chat ? chat->currentRoom() : std::nullopt;
                        const QList<ChatMessage> messages = room ? chat->messages(*room) : QList<ChatMessage>();
                        if (messages.isEmpty())
                            return fail(QStringLiteral("no failed message"));
                        setProperty(QStringLiteral("chatView"), "contextMenuMessage",
                                    QVariantMap{{QStringLiteral("id"), messages.last().id},
                                                {QStringLiteral("content"), messages.last().content},
                                                {QStringLiteral("isFromMe"), true},
                                                {QStringLiteral("isFailed"), messages.last().failed.value_or(false)}});
                    }, 500, QStringLiteral("chat-failed-actions") + suffix});
    m_steps.append({always, [this] {
                        setProperty(QStringLiteral("chatView"), "contextMenuMessage", QVariant::fromValue(nullptr));
                        call(QStringLiteral("messagesView"), "closeRoom");
                    }, 400, QString()});
}
