// The conversation list and the chat screen against the real server: the real application signed
// in as alice, and bob as a second client made of the client core. Bob's hall message with a
// mention and a picture reaches alice's list and chat screen; alice's text and picture go out
// through the chat screen (the picture uploaded over REST); her recall and her deleting bob as a
// contact reach bob.
#include "ChatViewModel.h"
#include "DraftImageList.h"
#include "PeerClient.h"

#include <QBuffer>
#include <QQmlListReference>
#include <QQuickItem>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(Zephlin_AppPlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_ChatPlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_ImagesPlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_UpdatePlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_ScreensPlugin)

class ChatScreenEndToEndTest : public QObject
{
    Q_OBJECT

    DemoAppDriver m_driver;

    QObject *item(const QString &name) const { return m_driver.item(name); }

    QObject *child(QObject *parent, const QString &name) const
    {
        return parent ? parent->findChild<QObject *>(name) : nullptr;
    }

    // A button of an open alert, by its text.
    QObject *alertButton(const QString &alert, const QString &text) const
    {
        const QQmlListReference buttons(item(alert), "actions");
        for (qsizetype i = 0; i < buttons.count(); ++i)
            if (buttons.at(i)->property("text").toString() == text)
                return buttons.at(i);
        return nullptr;
    }

    QQuickItem *listRow(const QString &list, int index) const
    {
        QQuickItem *row = nullptr;
        if (QObject *view = item(list)) {
            QMetaObject::invokeMethod(view, "forceLayout");
            QMetaObject::invokeMethod(view, "itemAtIndex", Q_RETURN_ARG(QQuickItem *, row), Q_ARG(int, index));
        }
        return row;
    }

    static QByteArray jpeg(QColor colour)
    {
        QImage image(64, 64, QImage::Format_RGB32);
        image.fill(colour);
        return DraftImageList::encodeJpeg(image);
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_driver.startServer()); }
    void cleanupTestCase() { m_driver.quit(); }

    void hallMentionPictureRecallAndUnfriend()
    {
        ChatViewModel *chat = m_driver.signIn(QStringLiteral("alice"), QStringLiteral("alice123"));
        QVERIFY(chat);
        const QString alice = ChatViewModel::currentUserId();

        // Bob: the client core with callbacks of his own.
        PeerClient bob;
        QVERIFY(bob.signIn(QStringLiteral("bob"), QStringLiteral("bob123")));
        QList<ChatMessage> bobHall;
        QStringList bobRecalled;
        std::optional<QList<User>> bobFriends;
        // Bob's hall as he sees it: live messages, and the history each hello brings (a connection
        // that drops and comes back would otherwise miss what was said meanwhile).
        const auto bobHears = [&](const ChatMessage &m) {
            if (std::none_of(bobHall.begin(), bobHall.end(), [&m](const ChatMessage &known) { return known.id == m.id; }))
                bobHall << m;
        };
        const auto bobSaw = [&](const QString &content) -> std::optional<ChatMessage> {
            for (const ChatMessage &m : bobHall)
                if (m.content == content)
                    return m;
            return std::nullopt;
        };
        bob.socket.onHello = [&](const HelloMessage &hello) {
            for (const ChatMessage &m : hello.globalMsgs.value_or(QList<ChatMessage>()))
                bobHears(m);
        };
        bob.socket.onGlobalMessage = bobHears;
        bob.socket.onRecalled = [&](const QString &, const QString &id, const auto &, const auto &) { bobRecalled << id; };
        bob.socket.onFriendUpdate = [&](const QList<User> &friends) { bobFriends = friends; };
        QVERIFY(bob.connect());

        // Bob's picture goes up over REST, then his message with it and a mention of alice.
        const Result<ImageUploadResponse> uploaded = DemoAppDriver::await<ImageUploadResponse>([&](auto done) {
            APIService::shared().uploadMessageImage(bob.token, jpeg(Qt::darkCyan), nullptr, done);
        });
        QVERIFY2(uploaded.ok(), qPrintable(uploaded.error()));
        bob.socket.sendGlobal(QStringLiteral("@alice 看这张"), {uploaded->url});

        // Alice's list previews it; her chat screen shows it with the mention and one 160-point cell.
        QTRY_VERIFY_WITH_TIMEOUT(listRow(QStringLiteral("conversationList"), 0)
                                     && listRow(QStringLiteral("conversationList"), 0)->property("preview")
                                            == QStringLiteral("bob: @alice 看这张"),
                                 10000);
        QMetaObject::invokeMethod(listRow(QStringLiteral("conversationList"), 0), "clicked");
        QTRY_VERIFY_WITH_TIMEOUT(item(QStringLiteral("chatView")), 5000);
        QObject *chatView = item(QStringLiteral("chatView"));
        const auto lastRow = [&] {
            const int count = chatView->property("messageList").value<QObject *>()->property("count").toInt();
            return listRow(QStringLiteral("messageList"), count - 1);
        };
        QTRY_VERIFY_WITH_TIMEOUT(lastRow() && lastRow()->property("content") == QStringLiteral("@alice 看这张"), 10000);
        QVERIFY(child(lastRow(), QStringLiteral("messageText"))->property("text").toString().contains(QStringLiteral("<b>@alice</b>")));
        QCOMPARE(child(lastRow(), QStringLiteral("messageBubble"))->property("width").toReal(), 160.0 + 26);

        // Alice writes text and a picture through the chat screen.
        auto *composer = chatView->property("composer").value<QObject *>();
        composer->property("draftImages").value<DraftImageList *>()->addImage(QImage::fromData(jpeg(Qt::darkMagenta)));
        QMetaObject::invokeMethod(composer, "handleTextChange", Q_ARG(QString, QStringLiteral("收到，回你一张")));
        QMetaObject::invokeMethod(composer, "send");
        QTRY_VERIFY_WITH_TIMEOUT(bobSaw(QStringLiteral("收到，回你一张")), 20000);
        const ChatMessage mine = *bobSaw(QStringLiteral("收到，回你一张"));
        QCOMPARE(mine.from, alice);
        QCOMPARE(mine.content, QStringLiteral("收到，回你一张"));
        QVERIFY(mine.images && mine.images->size() == 1 && mine.images->first().startsWith(QStringLiteral("/uploads/")));
        QTRY_VERIFY_WITH_TIMEOUT(lastRow() && lastRow()->property("messageId") == mine.id, 10000);

        // Recalled from the action dialog: the row goes and bob hears of it.
        chatView->setProperty("contextMenuMessage", QVariantMap{{QStringLiteral("id"), mine.id},
                                                                {QStringLiteral("content"), mine.content},
                                                                {QStringLiteral("isFromMe"), true}});
        QTRY_VERIFY_WITH_TIMEOUT(alertButton(QStringLiteral("messageActions"), QStringLiteral("撤回")), 5000);
        QMetaObject::invokeMethod(alertButton(QStringLiteral("messageActions"), QStringLiteral("撤回")), "clicked");
        QTRY_COMPARE_WITH_TIMEOUT(bobRecalled, QStringList{mine.id}, 10000);
        QVERIFY(lastRow()->property("messageId") != mine.id);

        // Deleting bob as a contact from his direct room: both lose each other.
        QMetaObject::invokeMethod(item(QStringLiteral("chatBackButton")), "clicked");
        QTRY_VERIFY_WITH_TIMEOUT(!item(QStringLiteral("chatView")), 5000);
        QMetaObject::invokeMethod(item(QStringLiteral("messagesView")), "openRoom",
                                  Q_ARG(QVariant, QVariant::fromValue(RoomType::dm(bob.user.id, QStringLiteral("bob")))));
        QTRY_VERIFY_WITH_TIMEOUT(item(QStringLiteral("deleteContactButton")), 5000);
        QMetaObject::invokeMethod(item(QStringLiteral("deleteContactButton")), "clicked");
        QTRY_VERIFY_WITH_TIMEOUT(alertButton(QStringLiteral("deleteContactDialog"), QStringLiteral("删除")), 5000);
        QMetaObject::invokeMethod(alertButton(QStringLiteral("deleteContactDialog"), QStringLiteral("删除")), "clicked");
        QTRY_VERIFY_WITH_TIMEOUT(!item(QStringLiteral("chatView")), 5000);
        const auto aliceHasBob = [&] {
            for (const User &user : chat->friends())
                if (user.id == bob.user.id)
                    return true;
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(!aliceHasBob(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(bobFriends.has_value(), 10000);
        for (const User &user : *bobFriends)
            QVERIFY(user.id != alice);
    }
};

QTEST_MAIN(ChatScreenEndToEndTest)
#include "ChatScreenEndToEndTest.moc"
