// Faults against the real server: alice, bob and carol of the demo data, each a client core in a
// process of its own, write in the hall and to each other while the server is killed (kill -9) and
// started again, while their network is cut (the socket aborted), and while carol's app is killed
// with messages still pending and started again. Afterwards every message typed is once in the
// server's history and once in the chat state of each of its recipients, and none shows as failed.
#include "ChatClientProcess.h"
#include "ServerProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {
QJsonObject cmd(const char *name, std::initializer_list<QPair<QString, QJsonValue>> members = {})
{
    QJsonObject object{{u"cmd"_s, QLatin1String(name)}};
    for (const auto &[key, value] : members)
        object.insert(key, value);
    return object;
}
} // namespace

class DeliveryEndToEndTest : public QObject
{
    Q_OBJECT

    struct Client
    {
        QString name;
        QString id;
        std::unique_ptr<ChatClientProcess> process;
    };
    // A message typed: its text, its sender and, for a direct message, its addressee (else the hall).
    struct Typed
    {
        QString text;
        int from = 0;
        int to = -1;
    };

    ServerProcess m_server;
    quint16 m_port = 0;
    QTemporaryDir m_homes;
    std::vector<Client> m_clients;
    QList<Typed> m_typed;
    // What the last look at a client that was not settled found, for a failure message.
    QString m_lastState;

    bool startClient(Client &client)
    {
        client.process = std::make_unique<ChatClientProcess>(QDir(m_homes.path()).filePath(client.name));
        if (!client.process->start(m_server.baseURL(), m_server.caFile()))
            return false;
        const QJsonObject login = client.process->command(cmd("login", {{u"user"_s, client.name}, {u"password"_s, client.name + u"123"_s}}));
        client.id = login.value(u"id"_s).toString();
        m_lastState = client.name + u" login: "_s + QString::fromUtf8(QJsonDocument(login).toJson(QJsonDocument::Compact));
        return login.value(u"ok"_s).toBool();
    }

    bool restartServer()
    {
        // The port of the killed server is free again at once, or nearly.
        for (int attempt = 0; attempt < 20; ++attempt) {
            if (m_server.start({}, m_port))
                return true;
            QTest::qWait(500);
        }
        return false;
    }

    void type(int from, int to, const QString &phase)
    {
        const QString text = u"%1: %2 → %3"_s.arg(phase, m_clients[from].name, to < 0 ? u"hall"_s : m_clients[to].name);
        m_clients[from].process->command(cmd("send", {{u"text"_s, text}, {u"room"_s, to < 0 ? u"global"_s : u"dm"_s}, {u"to"_s, to < 0 ? QString() : m_clients[to].id}}));
        m_typed.append({text, from, to});
    }

    QString roomOf(const Typed &typed) const
    {
        if (typed.to < 0)
            return u"global"_s;
        const QString a = m_clients[typed.from].id, b = m_clients[typed.to].id;
        return u"dm:"_s + (a < b ? a + u'_' + b : b + u'_' + a);
    }

    // Every client past the hello of its connection, with nothing pending and its cache written.
    bool settled()
    {
        for (Client &client : m_clients) {
            QJsonObject state = client.process->state();
            QStringList pending;
            for (const QJsonValue &row : state.take(u"messages"_s).toArray())
                if (row.toObject().value(u"id"_s).toString().startsWith(QLatin1String("temp_")))
                    pending << row.toObject().value(u"content"_s).toString();
            m_lastState = client.name + u' ' + QString::fromUtf8(QJsonDocument(state).toJson(QJsonDocument::Compact))
                + u" pending: "_s + pending.join(u" | "_s);
            if (!state.value(u"ready"_s).toBool() || !state.value(u"idle"_s).toBool() || !pending.isEmpty())
                return false;
        }
        return true;
    }

    // Waits by the clock, not by counting polls: each look at the clients takes time of its own.
    static bool eventually(const std::function<bool()> &done)
    {
        const QDeadlineTimer deadline(180000);
        while (!done()) {
            if (deadline.hasExpired())
                return false;
            QTest::qWait(100);
        }
        return true;
    }

    int serverCount(const Typed &typed)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"history"_s);
        db.setDatabaseName(QDir(m_server.dataPath()).filePath(u"zephlin.db"_s));
        db.setConnectOptions(u"QSQLITE_OPEN_READONLY"_s);
        int count = -1;
        if (db.open()) {
            QSqlQuery query(db);
            query.prepare(u"SELECT COUNT(*) FROM messages WHERE content = ? AND room = ?"_s);
            query.addBindValue(typed.text);
            query.addBindValue(roomOf(typed));
            if (query.exec() && query.next())
                count = query.value(0).toInt();
        }
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(u"history"_s);
        return count;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.seedDemo());
        QVERIFY(m_server.start());
        m_port = m_server.port();
        for (const char *name : {"alice", "bob", "carol"})
            m_clients.push_back({QString::fromLatin1(name), QString(), nullptr});
        for (Client &client : m_clients)
            QVERIFY2(startClient(client), qPrintable(client.name));
        QVERIFY2(eventually([this] { return settled(); }), qPrintable(m_lastState));
    }

    void everyTypedMessageArrivesOnceThroughKillsCutsAndRestarts()
    {
        enum { Alice, Bob, Carol, Hall = -1 };
        type(Alice, Hall, u"calm"_s);
        type(Bob, Carol, u"calm"_s);

        // The server killed with messages on their way, and more written while it is gone.
        type(Alice, Hall, u"kill"_s);
        type(Bob, Hall, u"kill"_s);
        type(Carol, Alice, u"kill"_s);
        m_server.stop();
        type(Alice, Bob, u"down"_s);
        type(Carol, Hall, u"down"_s);
        QVERIFY(restartServer());
        QVERIFY2(eventually([this] { return settled(); }), qPrintable(m_lastState));

        // The network cut right after sending, and once after the server stored the message but
        // before its echo was read.
        for (int from : {Alice, Bob, Carol}) {
            type(from, from == Bob ? Alice : Hall, u"cut"_s);
            m_clients[from].process->command(cmd("cut"));
        }
        QVERIFY2(eventually([this] { return settled(); }), qPrintable(m_lastState));
        m_clients[Bob].process->command(cmd("deaf"));
        type(Bob, Hall, u"echo lost"_s);
        QVERIFY(eventually([this] { return serverCount(m_typed.last()) == 1; }));
        m_clients[Bob].process->command(cmd("cut"));
        QVERIFY2(eventually([this] { return settled(); }), qPrintable(m_lastState));

        // Carol's app killed while her messages wait for the server, then started again.
        m_server.stop();
        type(Carol, Hall, u"restart"_s);
        type(Carol, Bob, u"restart"_s);
        QVERIFY(eventually([this] { return m_clients[Carol].process->state().value(u"idle"_s).toBool(); }));
        m_clients[Carol].process->kill();
        QVERIFY(restartServer());
        QVERIFY2(startClient(m_clients[Carol]), qPrintable(m_lastState));
        QVERIFY2(eventually([this] { return settled(); }), qPrintable(m_lastState));

        // Each recipient's copy of each message, once all have arrived.
        QHash<int, QJsonArray> rows;
        const auto held = [&](const Typed &typed, int recipient) {
            return std::count_if(rows[recipient].begin(), rows[recipient].end(), [&](const QJsonValue &row) {
                return row.toObject().value(u"content"_s).toString() == typed.text
                    && row.toObject().value(u"room"_s).toString() == roomOf(typed);
            });
        };
        const auto recipientsOf = [](const Typed &typed) {
            return typed.to < 0 ? QList<int>{Alice, Bob, Carol} : QList<int>{typed.from, typed.to};
        };
        const auto allArrived = [&] {
            for (int i = 0; i < int(m_clients.size()); ++i)
                rows[i] = m_clients[i].process->state().value(u"messages"_s).toArray();
            for (const Typed &typed : std::as_const(m_typed))
                for (int recipient : recipientsOf(typed))
                    if (held(typed, recipient) == 0)
                        return false;
            return true;
        };
        QVERIFY(eventually(allArrived));
        for (int i = 0; i < int(m_clients.size()); ++i)
            for (const QJsonValue &row : rows[i])
                QVERIFY2(!row.toObject().value(u"failed"_s).toBool(), qPrintable(m_clients[i].name));
        for (const Typed &typed : std::as_const(m_typed)) {
            QCOMPARE(serverCount(typed), 1);
            for (int recipient : recipientsOf(typed))
                QVERIFY2(held(typed, recipient) == 1, qPrintable(typed.text + u" twice for "_s + m_clients[recipient].name));
        }
    }

    void cleanupTestCase()
    {
        for (Client &client : m_clients)
            if (client.process)
                client.process->command(cmd("quit"));
    }
};

QTEST_GUILESS_MAIN(DeliveryEndToEndTest)
#include "DeliveryEndToEndTest.moc"
