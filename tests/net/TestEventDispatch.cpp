// Inbound frames to slots: the drop rules and the members of the wrong type, and the types no
// chat-state test delivers (the chat tests feed the others through this dispatch to the state they
// change); a service without a socket, which sends and logs nothing; and the log lines of
// connectivity changes, apart from any platform backend.
#include "Commands.h"
#include "LogRecorder.h"
#include "NetworkMonitor.h"
#include "WebSocketService.h"

#include <QTest>

namespace {

// How a slot's arguments are written down: records by id (groups by id and name), absent values as "-".
QString text(const QString &value) { return value; }
QString text(const std::optional<QString> &value) { return value.value_or(QStringLiteral("-")); }
QString text(bool value) { return value ? QStringLiteral("true") : QStringLiteral("false"); }
QString text(int value) { return QString::number(value); }
QString text(const QStringList &values) { return values.join(QLatin1Char('|')); }
QString text(const HelloMessage &hello) { return text(hello.hallName); }
QString text(const ChatGroup &group) { return group.id + QLatin1Char(':') + group.name; }
QString text(const std::optional<ChatGroup> &group) { return group ? text(*group) : QStringLiteral("-"); }
template <typename R>
    requires requires(R r) { r.id; }
QString text(const R &record) { return record.id; }
template <typename R>
QString text(const QList<R> &records)
{
    QStringList ids;
    for (const R &record : records)
        ids.append(record.id);
    return text(ids);
}

// A slot that writes each call down as "name(argument,argument)".
template <typename... Args>
auto recorder(QStringList &calls, const char *name)
{
    return [&calls, name](const Args &...args) {
        calls.append(QStringLiteral("%1(%2)").arg(QLatin1String(name), QStringList{text(args)...}.join(QLatin1Char(','))));
    };
}

void record(WebSocketService &ws, QStringList &calls)
{
    ws.onHello = recorder<HelloMessage>(calls, "onHello");
    ws.onGlobalMessage = recorder<ChatMessage>(calls, "onGlobalMessage");
    ws.onDMMessage = recorder<ChatMessage>(calls, "onDMMessage");
    ws.onGroupMessage = recorder<ChatMessage>(calls, "onGroupMessage");
    ws.onRecalled = recorder<QString, QString, std::optional<QString>, std::optional<QString>, std::optional<QString>>(calls, "onRecalled");
    ws.onError = recorder<QString>(calls, "onError");
    ws.onBanned = recorder<QString>(calls, "onBanned");
    ws.onKicked = recorder<QString>(calls, "onKicked");
    ws.onSystem = recorder<QString>(calls, "onSystem");
    ws.onPresence = recorder<QStringList>(calls, "onPresence");
    ws.onAnnouncementUpdate = recorder<QString>(calls, "onAnnouncementUpdate");
    ws.onFriendRequest = recorder<FriendRequest>(calls, "onFriendRequest");
    ws.onFriendUpdate = recorder<QList<User>>(calls, "onFriendUpdate");
    ws.onRequestRespond = recorder<bool, QString, QString>(calls, "onRequestRespond");
    ws.onRequestSent = recorder<bool, std::optional<QString>>(calls, "onRequestSent");
    ws.onGroupCreated = recorder<ChatGroup>(calls, "onGroupCreated");
    ws.onGroupRemoved = recorder<QString, QString>(calls, "onGroupRemoved");
    ws.onGroupRenamed = recorder<QString, ChatGroup>(calls, "onGroupRenamed");
    ws.onGroupMemberRemoved = recorder<QString, ChatGroup, QString>(calls, "onGroupMemberRemoved");
    ws.onGroupAvatarUpdated = recorder<QString, QString>(calls, "onGroupAvatarUpdated");
    ws.onGroupApplySent = recorder<QString>(calls, "onGroupApplySent");
    ws.onGroupApplyRequest = recorder<GroupRequest>(calls, "onGroupApplyRequest");
    ws.onGroupApplyAccepted = recorder<QString, std::optional<ChatGroup>>(calls, "onGroupApplyAccepted");
    ws.onGroupApplyRejected = recorder<QString>(calls, "onGroupApplyRejected");
    ws.onMomentsUpdate = recorder<QList<Moment>>(calls, "onMomentsUpdate");
    ws.onMaxOnlineUpdate = recorder<int>(calls, "onMaxOnlineUpdate");
    ws.onHallRenamed = recorder<QString>(calls, "onHallRenamed");
    ws.onHallCleared = recorder<>(calls, "onHallCleared");
}

// Runs a sequence of connectivity labels through the monitor's state machine; the lines it would log.
QStringList linesFor(const QStringList &labels)
{
    QStringList lines;
    QString last;
    for (const QString &label : labels) {
        if (const auto line = NetworkMonitor::logLineFor(last, label))
            lines.append(*line);
        last = label;
    }
    return lines;
}
} // namespace

class TestEventDispatch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void frames_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("call"); // empty: no slot is called

        auto row = [](const char *name, const QString &frame, const char *call) {
            QTest::newRow(name) << frame << QString::fromUtf8(call);
        };
        // Parsing, then the defaults and drop rules of each type.
        row("not JSON", "{\"type\":", "");
        row("no type", R"({"content":"x"})", "");
        row("unknown type", R"({"type":"mystery"})", "");
        row("type is case-sensitive", R"({"type":"System"})", "");
        row("hello with a bad nested record", R"({"type":"hello","globalMsgs":[{"from":"u"}]})", "");
        row("global without time", R"({"type":"global","from":"u1","content":"hi"})", "");
        row("recalled members of the wrong type", R"({"type":"recalled","room":1,"to":2})", "onRecalled(,,-,-,-)");
        row("presence ids", R"({"type":"presence","online":[{"id":"a"},{"name":"b"},{"id":3}]})", "onPresence(a)");
        row("presence missing", R"({"type":"presence"})", "");
        row("announcement missing", R"({"type":"announcement-update"})", "");
        row("friend request bad", R"({"type":"friend-request","request":{"id":"r"}})", "");
        row("friend update bad element", R"({"type":"friend-update","friends":[{"id":"a"}]})", "");
        row("request-sent ok not a boolean", R"({"type":"request-sent","ok":"yes"})", "onRequestSent(false,-)");
        row("group created missing", R"({"type":"group-created"})", "");
        row("group renamed without group", R"({"type":"group-renamed","gid":"g1"})", "");
        row("member removed bad group", R"({"type":"group-member-removed","gid":"g1","group":{"id":"g1"}})", "");
        row("apply accepted bad group", R"({"type":"group-apply-accepted","gid":"g1","group":{"id":1}})",
            "onGroupApplyAccepted(g1,-)");
        row("moments bad element", R"({"type":"moments","moments":[{"id":"m"}]})", "");
        row("max-online fraction", R"({"type":"max-online","maxOnline":4.5})", "onMaxOnlineUpdate(0)");
    }
    void frames()
    {
        QFETCH(QString, frame);
        QFETCH(QString, call);
        WebSocketService ws;
        QStringList calls;
        record(ws, calls);
        ws.handleMessage(frame);
        QCOMPARE(calls, call.isEmpty() ? QStringList() : QStringList{call});
    }

    // Without slots installed frames are skipped; only the hello's outcome is logged.
    void onlyTheHelloIsLogged()
    {
        LogRecorder log;
        WebSocketService ws;
        ws.handleMessage(QStringLiteral(R"({"type":"global","from":"u1","content":"hi","time":5})"));
        ws.handleMessage(QStringLiteral(R"({"type":"hall-cleared"})"));
        ws.handleMessage(QStringLiteral("garbage"));
        ws.handleMessage(QStringLiteral(R"({"type":"global","from":"u1"})"));
        QVERIFY(log.lines.isEmpty());
        ws.handleMessage(QStringLiteral(R"({"type":"hello"})"));
        QCOMPARE(log.lines, QStringList{QStringLiteral("[WS] hello decoded successfully")});
        ws.handleMessage(QStringLiteral(R"({"type":"hello","friends":[{"id":"a"}]})"));
        QCOMPARE(log.lines.size(), 2);
        QVERIFY(log.lines.last().startsWith(QStringLiteral("[WS] hello decode FAILED: ")));
        QVERIFY(log.lines.last().size() > QStringLiteral("[WS] hello decode FAILED: ").size());
    }

    // The outbound commands' members and JSON types are checked where the chat state, the screens
    // and the administrator's sheet send them, and by the real server in the end-to-end tests.
    void withoutASocketNothingIsSentOrLogged()
    {
        LogRecorder log;
        WebSocketService ws;
        ws.sendGlobal(QStringLiteral("hi"));
        ws.sendDM(QStringLiteral("u2"), QStringLiteral("x"), {QStringLiteral("https://10.0.0.5/i/1.jpg")});
        ws.sendGroup(QStringLiteral("g"), QStringLiteral("x"));
        ws.createGroup(QStringLiteral("n"), {});
        ws.send(Commands::clearHall());
        QVERIFY(!ws.isConnected());
        QVERIFY(log.lines.isEmpty());
    }

    void networkLogLines_data()
    {
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("initial, changed, repeat") << QStringList{"WiFi", "蜂窝", "蜂窝"}
                                                  << QStringList{"[Network] initial status: WiFi", "[Network] connected via 蜂窝"};
        QTest::newRow("starting disconnected") << QStringList{"断开", "断开", "有线"}
                                               << QStringList{"[Network] disconnected", "[Network] connected via 有线"};
        QTest::newRow("disconnect after connected")
            << QStringList{"已连接", "断开", "WiFi"}
            << QStringList{"[Network] initial status: 已连接", "[Network] disconnected", "[Network] connected via WiFi"};
    }
    void networkLogLines()
    {
        QFETCH(QStringList, labels);
        QFETCH(QStringList, lines);
        QCOMPARE(linesFor(labels), lines);
    }

    void networkMonitorsSecondStartDoesNothing()
    {
        LogRecorder log;
        NetworkMonitor &monitor = NetworkMonitor::shared();
        QVERIFY(!monitor.isStarted());
        monitor.start();
        QVERIFY(monitor.isStarted());
        QCoreApplication::processEvents();
        const int afterFirst = log.countStartingWith(QStringLiteral("[Network]"));
        QVERIFY(afterFirst <= 1);
        monitor.start();
        QCoreApplication::processEvents();
        QCOMPARE(log.countStartingWith(QStringLiteral("[Network]")), afterFirst);
    }
};

QTEST_GUILESS_MAIN(TestEventDispatch)
#include "TestEventDispatch.moc"
