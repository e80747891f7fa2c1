// The outbound commands' exact members and JSON types, for those no other test sends: the chat
// messages, recalls, join applications and the administrator's commands are checked where the chat
// state and the administrator's sheet send them; the authentication, friend answers, groups and
// comments reach the real server in the end-to-end tests.
#include "Commands.h"
#include "LogRecorder.h"
#include "WebSocketService.h"

#include <QJsonDocument>
#include <QTest>

namespace {

QJsonObject json(const char *text)
{
    return QJsonDocument::fromJson(QByteArray(text)).object();
}

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void commands_data()
    {
        QTest::addColumn<QJsonObject>("command");
        QTest::addColumn<QJsonObject>("expected");
        const QStringList images{QStringLiteral("https://10.0.0.5/i/1.jpg")};
        auto row = [](const char *name, const QJsonObject &command, const char *expected) {
            QTest::newRow(name) << command << json(expected);
        };
        row("dm image only", Commands::dm("u2", "", images),
            "{\"type\":\"dm\",\"to\":\"u2\",\"content\":\"\",\"images\":[\"https://10.0.0.5/i/1.jpg\"]}");
        row("friend-request", Commands::friendRequest("bo"), R"({"type":"friend-request","username":"bo"})");
        row("unfriend", Commands::unfriend("u"), R"({"type":"unfriend","userId":"u"})");
        row("group-dissolve", Commands::groupDissolve("g"), R"({"type":"group-dissolve","gid":"g"})");
        row("group-leave", Commands::groupLeave("g"), R"({"type":"group-leave","gid":"g"})");
        row("moment-like", Commands::momentLike("m"), R"({"type":"moment-like","mid":"m"})");
        row("moment-delete", Commands::momentDelete("m"), R"({"type":"moment-delete","mid":"m"})");
    }
    void commands()
    {
        QFETCH(QJsonObject, command);
        QFETCH(QJsonObject, expected);
        QVERIFY(!expected.isEmpty());
        QCOMPARE(command, expected);
    }

    void withoutASocketNothingIsSentOrLogged()
    {
        LogRecorder log;
        WebSocketService ws;
        ws.sendGlobal(QStringLiteral("hi"));
        ws.sendDM(QStringLiteral("u2"), QStringLiteral("x"));
        ws.sendGroup(QStringLiteral("g"), QStringLiteral("x"));
        ws.createGroup(QStringLiteral("n"), {});
        ws.send(Commands::clearHall());
        QVERIFY(!ws.isConnected());
        QVERIFY(log.lines.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCommands)
#include "TestCommands.moc"
