// Two users against the real zephlin-server over TLS: registering, befriending, chatting in the hall,
// a direct room and a group, with the server's echo replacing the optimistic message.
//
// Alice runs the whole client core (APIService, WebSocketService, ChatViewModel). Bob runs
// APIService and a WebSocketService of his own with his own callbacks: the chat state keeps the
// signed-in user's id in the process-wide settings ("zp_current_uid"), so two chat states cannot
// share one process.
#include "APIService.h"
#include "ChatViewModel.h"
#include "ServerProcess.h"
#include "SettingsStore.h"
#include "WebSocketService.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace std::chrono_literals;

namespace {
bool isOptimistic(const ChatMessage &message)
{
    return message.id.startsWith(QLatin1String("temp_"));
}

WebSocketTiming quickAuth()
{
    WebSocketTiming timing;
    timing.authDelay = 20ms;
    return timing;
}
} // namespace

class ChatEndToEndTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_settings;
    ServerProcess m_server;

    struct SignedIn
    {
        QString token;
        User user;
    };

    SignedIn registerAndLogIn(const QString &name)
    {
        std::optional<Result<RegisterResponse>> registered;
        APIService::shared().registerUser(name, QStringLiteral("pass1234"), this, [&](Result<RegisterResponse> r) { registered = r; });
        [&] { QTRY_VERIFY_WITH_TIMEOUT(registered.has_value(), 20000); }();
        if (!registered || !registered->ok())
            qWarning() << "register failed:" << (registered ? registered->error() : QStringLiteral("no answer"));
        std::optional<Result<LoginResponse>> login;
        APIService::shared().login(name, QStringLiteral("pass1234"), this, [&](Result<LoginResponse> r) { login = r; });
        [&] { QTRY_VERIFY_WITH_TIMEOUT(login.has_value(), 20000); }();
        if (!login || !login->ok())
            return {};
        return {login->value().token, login->value().user};
    }

private Q_SLOTS:
    void initTestCase()
    {
        SettingsStore::shared().setLocation(m_settings.path());
        QVERIFY(m_server.start());
        SettingsStore::shared().setString(QStringLiteral("zp_server_url"), m_server.baseURL());
    }

    void twoUsersChatEverywhere()
    {
        const SignedIn alice = registerAndLogIn(QStringLiteral("alice"));
        const SignedIn bob = registerAndLogIn(QStringLiteral("bob"));
        QVERIFY(!alice.token.isEmpty());
        QVERIFY(!bob.token.isEmpty());

        WebSocketService aliceSocket(quickAuth());
        ChatServices services;
        services.ws = &aliceSocket;
        ChatViewModel chat(services);

        WebSocketService bobSocket(quickAuth());
        bool bobHello = false;
        QList<ChatMessage> bobHall, bobDirect, bobGroup;
        QList<User> bobFriends;
        std::optional<ChatGroup> bobJoined;
        QStringList bobRecalled;
        bobSocket.onHello = [&](const HelloMessage &) { bobHello = true; };
        bobSocket.onGlobalMessage = [&](const ChatMessage &m) { bobHall << m; };
        bobSocket.onDMMessage = [&](const ChatMessage &m) { bobDirect << m; };
        bobSocket.onGroupMessage = [&](const ChatMessage &m) { bobGroup << m; };
        bobSocket.onFriendUpdate = [&](const QList<User> &friends) { bobFriends = friends; };
        bobSocket.onGroupApplyAccepted = [&](const QString &, const std::optional<ChatGroup> &group) { bobJoined = group; };
        bobSocket.onRecalled = [&](const QString &room, const QString &id, const auto &, const auto &, const auto &) { bobRecalled << room + u':' + id; };

        aliceSocket.connectToServer(alice.token);
        bobSocket.connectToServer(bob.token);
        QTRY_COMPARE_WITH_TIMEOUT(chat.currentUserName(), QStringLiteral("alice"), 10000);
        QCOMPARE(ChatViewModel::currentUserId(), alice.user.id);
        QTRY_VERIFY_WITH_TIMEOUT(bobHello, 10000);

        // Befriending: Bob asks, Alice accepts from her pending requests.
        bobSocket.send({{QStringLiteral("type"), QStringLiteral("friend-request")}, {QStringLiteral("username"), QStringLiteral("alice")}});
        QTRY_COMPARE_WITH_TIMEOUT(chat.pendingRequests().size(), 1, 10000);
        QCOMPARE(chat.pendingRequests().first().from, bob.user.id);
        aliceSocket.respondRequest(chat.pendingRequests().first().id, QStringLiteral("accept"));
        QTRY_COMPARE_WITH_TIMEOUT(chat.friends().size(), 1, 10000);
        QCOMPARE(chat.friends().first().id, bob.user.id);
        QTRY_COMPARE_WITH_TIMEOUT(bobFriends.size(), 1, 10000);

        // The hall: the optimistic copy shows at once and the echo replaces it.
        chat.setCurrentRoom(RoomType::global());
        chat.sendMessage(QStringLiteral("大家好"));
        QCOMPARE(chat.globalMessages().size(), 1);
        QVERIFY(isOptimistic(chat.globalMessages().first()));
        QTRY_VERIFY_WITH_TIMEOUT(!chat.globalMessages().isEmpty() && !isOptimistic(chat.globalMessages().first()), 10000);
        QCOMPARE(chat.globalMessages().size(), 1);
        const ChatMessage hallEcho = chat.globalMessages().first();
        QVERIFY(hallEcho.isFromMe);
        QTRY_COMPARE_WITH_TIMEOUT(bobHall.size(), 1, 10000);
        QCOMPARE(bobHall.first().id, hallEcho.id);
        QCOMPARE(bobHall.first().fromName, std::optional<QString>(QStringLiteral("alice")));

        // A direct room, both ways.
        QTest::qWait(350); // the chat state's own send gate
        chat.setCurrentRoom(RoomType::dm(bob.user.id, QStringLiteral("bob")));
        chat.sendMessage(QStringLiteral("hi bob"));
        const QString roomKey = ChatViewModel::dmRoomKey(alice.user.id, bob.user.id);
        const auto direct = [&] { return chat.dmMessages().value(roomKey); };
        QTRY_VERIFY_WITH_TIMEOUT(direct().size() == 1 && !isOptimistic(direct().first()), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(bobDirect.size(), 1, 10000);
        QCOMPARE(bobDirect.first().to, std::optional<QString>(bob.user.id));
        bobSocket.sendDM(alice.user.id, QStringLiteral("hi alice"));
        QTRY_COMPARE_WITH_TIMEOUT(direct().size(), 2, 10000);
        QCOMPARE(direct().last().content, QStringLiteral("hi alice"));
        QVERIFY(!direct().last().isFromMe);

        // A group: Alice creates it with Bob, who joins it, and both talk in it.
        aliceSocket.createGroup(QStringLiteral("端到端"), {bob.user.id});
        QTRY_COMPARE_WITH_TIMEOUT(chat.groups().size(), 1, 10000);
        const ChatGroup group = chat.groups().first();
        QVERIFY(group.isOwner);
        QTRY_VERIFY_WITH_TIMEOUT(bobJoined.has_value(), 10000);
        QCOMPARE(bobJoined->id, group.id);
        QTest::qWait(350);
        chat.setCurrentRoom(RoomType::group(group.id, group.name));
        chat.sendMessage(QStringLiteral("群里好"));
        const auto groupRoom = [&] { return chat.groupMessages().value(group.id); };
        QTRY_VERIFY_WITH_TIMEOUT(groupRoom().size() == 1 && !isOptimistic(groupRoom().first()), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(bobGroup.size(), 1, 10000);
        QCOMPARE(bobGroup.first().gid, std::optional<QString>(group.id));
        bobSocket.sendGroup(group.id, QStringLiteral("收到"));
        QTRY_COMPARE_WITH_TIMEOUT(groupRoom().size(), 2, 10000);

        // Recalling the hall message reaches Bob.
        chat.setCurrentRoom(RoomType::global());
        chat.recallMessageWithId(hallEcho.id);
        QVERIFY(chat.globalMessages().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(bobRecalled, QStringList{QStringLiteral("global:") + hallEcho.id}, 10000);

        aliceSocket.disconnectFromServer();
        bobSocket.disconnectFromServer();
    }
};

QTEST_GUILESS_MAIN(ChatEndToEndTest)
#include "ChatEndToEndTest.moc"
