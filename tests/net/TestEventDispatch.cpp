// Inbound frames to slots: one entry per wire type, every default, and every drop rule.
#include "LogRecorder.h"
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

const char *group = R"({"id":"g1","name":"G","owner":"u1","members":["u1"]})";

} // namespace

class TestEventDispatch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void frames_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("call"); // empty: no slot is called

        const QString g = QString::fromLatin1(group);
        auto row = [](const char *name, const QString &frame, const char *call) {
            QTest::newRow(name) << frame << QString::fromUtf8(call);
        };
        // Parsing and the table itself.
        row("not JSON", "{\"type\":", "");
        row("no type", R"({"content":"x"})", "");
        row("unknown type", R"({"type":"mystery"})", "");
        row("type is case-sensitive", R"({"type":"System"})", "");

        row("hello", R"({"type":"hello","hallName":"H"})", "onHello(H)");
        row("hello with a bad nested record", R"({"type":"hello","globalMsgs":[{"from":"u"}]})", "");

        row("global with id", R"({"type":"global","id":"m1","from":"u1","content":"hi","time":5})", "onGlobalMessage(m1)");
        row("global computed id", R"({"type":"global","from":"u1","content":"hi","time":5})", "onGlobalMessage(u1_hi_5)");
        row("global without time", R"({"type":"global","from":"u1","content":"hi"})", "");
        row("group", R"({"type":"group","id":"x","from":"u1","gid":"g","content":"c","time":1})", "onGroupMessage(x)");

        row("recalled full", R"({"type":"recalled","room":"dm","id":"m","to":"u2","clientId":"c"})", "onRecalled(dm,m,u2,-,c)");
        row("recalled group", R"({"type":"recalled","room":"group","id":"m","gid":"g"})", "onRecalled(group,m,-,g,-)");
        row("recalled defaults", R"({"type":"recalled","room":1,"to":2})", "onRecalled(,,-,-,-)");

        row("error default", R"({"type":"error"})", "onError(未知错误)");
        row("error text", R"({"type":"error","error":"e"})", "onError(e)");
        row("kicked text", R"({"type":"kicked","error":"x"})", "onKicked(x)");
        row("system", R"({"type":"system","content":"c"})", "onSystem(c)");

        row("presence ids", R"({"type":"presence","online":[{"id":"a"},{"name":"b"},{"id":3}]})", "onPresence(a)");
        row("presence empty", R"({"type":"presence","online":[]})", "onPresence()");
        row("presence missing", R"({"type":"presence"})", "");

        row("announcement", R"({"type":"announcement-update","announcement":"A"})", "onAnnouncementUpdate(A)");
        row("announcement missing", R"({"type":"announcement-update"})", "");

        row("friend request", R"({"type":"friend-request","request":{"id":"r","from":"u","time":1}})", "onFriendRequest(r)");
        row("friend request bad", R"({"type":"friend-request","request":{"id":"r"}})", "");
        row("friend update", R"({"type":"friend-update","friends":[{"id":"a","username":"A"},{"id":"b","username":"B"}]})",
            "onFriendUpdate(a|b)");
        row("friend update bad element", R"({"type":"friend-update","friends":[{"id":"a"}]})", "");

        row("request-respond", R"({"type":"request-respond","ok":true,"action":"accept","fromName":"Bo"})",
            "onRequestRespond(true,accept,Bo)");
        row("request-sent defaults", R"({"type":"request-sent","ok":"yes"})", "onRequestSent(false,-)");
        row("request-sent error", R"({"type":"request-sent","ok":false,"error":"no"})", "onRequestSent(false,no)");

        row("group created", QStringLiteral(R"({"type":"group-created","group":%1})").arg(g), "onGroupCreated(g1:G)");
        row("group created missing", R"({"type":"group-created"})", "");
        row("group removed", R"({"type":"group-removed","gid":"g","error":"bye"})", "onGroupRemoved(g,bye)");
        row("group renamed", QStringLiteral(R"({"type":"group-renamed","gid":"g1","group":%1})").arg(g), "onGroupRenamed(g1,g1:G)");
        row("group renamed without group", R"({"type":"group-renamed","gid":"g1"})", "");
        row("member removed", QStringLiteral(R"({"type":"group-member-removed","gid":"g1","userId":"u3","group":%1})").arg(g),
            "onGroupMemberRemoved(g1,g1:G,u3)");
        row("member removed bad group", R"({"type":"group-member-removed","gid":"g1","group":{"id":"g1"}})", "");
        row("avatar updated defaults", R"({"type":"group-avatar-updated"})", "onGroupAvatarUpdated(,)");
        row("apply sent", R"({"type":"group-apply-sent","gid":"g"})", "onGroupApplySent(g)");
        row("apply request", R"({"type":"group-apply-request","apply":{"id":"a","gid":"g","from":"u","time":1}})",
            "onGroupApplyRequest(a)");
        row("apply accepted without group", R"({"type":"group-apply-accepted","gid":"g1"})", "onGroupApplyAccepted(g1,-)");
        row("apply accepted bad group", R"({"type":"group-apply-accepted","gid":"g1","group":{"id":1}})",
            "onGroupApplyAccepted(g1,-)");
        row("apply accepted", QStringLiteral(R"({"type":"group-apply-accepted","gid":"g1","group":%1})").arg(g),
            "onGroupApplyAccepted(g1,g1:G)");
        row("apply rejected", R"({"type":"group-apply-rejected"})", "onGroupApplyRejected()");

        row("moments", R"({"type":"moments","moments":[{"id":"m","author":"u","text":"t","time":1}]})", "onMomentsUpdate(m)");
        row("moments bad element", R"({"type":"moments","moments":[{"id":"m"}]})", "");

        row("max-online default", R"({"type":"max-online"})", "onMaxOnlineUpdate(0)");
        row("max-online", R"({"type":"max-online","maxOnline":42})", "onMaxOnlineUpdate(42)");
        row("max-online fraction", R"({"type":"max-online","maxOnline":4.5})", "onMaxOnlineUpdate(0)");
        row("hall renamed", R"({"type":"hall-renamed","hallName":"H2"})", "onHallRenamed(H2)");
        row("hall cleared", R"({"type":"hall-cleared","extra":1})", "onHallCleared()");
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

    void helloLogsTheOutcome()
    {
        LogRecorder log;
        WebSocketService ws;
        ws.handleMessage(QStringLiteral(R"({"type":"hello"})"));
        QCOMPARE(log.lines, QStringList{QStringLiteral("[WS] hello decoded successfully")});
        ws.handleMessage(QStringLiteral(R"({"type":"hello","friends":[{"id":"a"}]})"));
        QCOMPARE(log.lines.size(), 2);
        QVERIFY(log.lines.last().startsWith(QStringLiteral("[WS] hello decode FAILED: ")));
        QVERIFY(log.lines.last().size() > QStringLiteral("[WS] hello decode FAILED: ").size());
    }

    void otherFramesLogNothingAndMissingSlotsAreSkipped()
    {
        LogRecorder log;
        WebSocketService ws; // no slot installed
        ws.handleMessage(QStringLiteral(R"({"type":"global","from":"u1","content":"hi","time":5})"));
        ws.handleMessage(QStringLiteral(R"({"type":"hall-cleared"})"));
        ws.handleMessage(QStringLiteral("garbage"));
        ws.handleMessage(QStringLiteral(R"({"type":"global","from":"u1"})"));
        QVERIFY(log.lines.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestEventDispatch)
#include "TestEventDispatch.moc"
