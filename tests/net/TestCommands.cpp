// Sending without a connection: the outbound commands' members and JSON types are checked where
// the chat state, the screens and the administrator's sheet send them, and the end-to-end tests
// send them to the real server.
#include "Commands.h"
#include "LogRecorder.h"
#include "WebSocketService.h"

#include <QTest>

class TestCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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
};

QTEST_GUILESS_MAIN(TestCommands)
#include "TestCommands.moc"
