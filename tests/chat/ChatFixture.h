#pragma once
// A chat state wired to its own WebSocket client, fed through real JSON frames, with a settable
// clock, predictable optimistic ids, a scripted group search, its own settings folder and, when a
// test connects it, a TLS WebSocket server on loopback that records the frames the client sends.
#include "ChatViewModel.h"
#include "LoopbackTls.h"
#include "WebSocketTestServer.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace std::chrono_literals;

class ChatFixture
{
public:
    static constexpr qint64 startMs = 1'700'000'000'000;

    QTemporaryDir dir;
    std::unique_ptr<WebSocketService> ws;
    std::unique_ptr<ChatViewModel> chat;
    qint64 now = startMs;
    int uuids = 0;
    std::chrono::milliseconds confirmTimeout{15000};
    QStringList searchedKeywords;
    ChatServices::SearchReply pendingSearch;

    ChatFixture()
    {
        SettingsStore::shared().setLocation(dir.path());
        ws = std::make_unique<WebSocketService>(loopback::staysDownTiming());
    }

    ~ChatFixture()
    {
        chat.reset();
        ws.reset();
        m_server.reset();
    }

    ChatServices services()
    {
        ChatServices services;
        services.ws = ws.get();
        services.nowMs = [this] { return now; };
        services.newUuid = [this] { return QStringLiteral("00000000-0000-4000-8000-%1").arg(++uuids, 12, 10, QLatin1Char('0')); };
        services.toastDuration = 40ms;
        services.confirmTimeout = confirmTimeout;
        services.searchGroups = [this](const QString &keyword, ChatServices::SearchReply reply) {
            searchedKeywords.append(keyword);
            pendingSearch = std::move(reply);
        };
        return services;
    }

    // Once the stored cache, if any, has been opened.
    ChatViewModel &make()
    {
        chat = std::make_unique<ChatViewModel>(services());
        if (!QTest::qWaitFor([this] { return !chat->isLoadingCache(); }))
            QTest::qFail("the stored cache did not open", __FILE__, __LINE__);
        return *chat;
    }
    // The same, for the signed-in user `me`.
    ChatViewModel &make(const QString &me)
    {
        setMe(me);
        return make();
    }

    // The recording server, listening from its first use.
    WebSocketTestServer &server()
    {
        if (!m_server) {
            static const DevCertificates certificates = loopback::trustedCertificates().value();
            m_server = std::make_unique<WebSocketTestServer>(certificates);
            if (m_server->listen() == 0)
                QTest::qFail("the recording server does not listen", __FILE__, __LINE__);
        }
        return *m_server;
    }

    // Connects this client to the recording server, waits until it holds the authenticated socket
    // and hands it the server's first answer, a hello (with `hello`'s members).
    void connectTo(const char *hello = "{'type':'hello'}")
    {
        loopback::setServer(server().baseURL());
        ws->connectToServer(QStringLiteral("tok"));
        QTRY_COMPARE(server().received.size(), 1);
        server().received.clear();
        deliver(hello);
        QVERIFY(QTest::qWaitFor([this] { return ws->inbound().isIdle(); }));
    }

    // The next frame the client sent, once it has arrived.
    QJsonObject nextFrame()
    {
        if (!QTest::qWaitFor([this] { return !server().received.isEmpty(); }))
            QTest::qFail("no frame arrived", __FILE__, __LINE__);
        return server().received.isEmpty() ? QJsonObject() : loopback::parsed(server().received.takeFirst());
    }

    // Every frame handed over applied, every save on disk; false when that takes too long.
    bool settle()
    {
        return QTest::qWaitFor([this] { return ws->inbound().isIdle() && !chat->cache().savePending() && !chat->cache().isWriting(); });
    }

    static void setMe(const QString &id) { SettingsStore::shared().setString(QStringLiteral("zp_current_uid"), id); }

    void deliver(const QJsonObject &frame) { ws->handleMessage(QString::fromUtf8(QJsonDocument(frame).toJson(QJsonDocument::Compact))); }
    // A frame written as JSON with single quotes for readability: {'type':'global', ...}.
    void deliver(const char *json) { deliver(loopback::json(json)); }

    // A snapshot whose hall holds `count` messages "m0", "m1", … from "b".
    void deliverHall(int count)
    {
        QStringList hall;
        for (int i = 0; i < count; ++i)
            hall.append(QStringLiteral("{'id':'m%1','from':'b','content':'text','time':%2}").arg(i).arg(startMs));
        deliver(qPrintable(QStringLiteral("{'type':'hello','globalMsgs':[%1]}").arg(hall.join(QLatin1Char(',')))));
    }

    // The sizes of the hall, friends, groups, both kinds of requests, moments, group and direct rooms.
    static QList<qsizetype> sizes(const ChatViewModel &chat)
    {
        return {chat.globalMessages().size(), chat.friends().size(), chat.groups().size(), chat.pendingRequests().size(),
                chat.groupRequests().size(), chat.moments().size(), chat.groupMessages().size(), chat.dmMessages().size()};
    }

    static QStringList ids(const QList<ChatMessage> &messages)
    {
        QStringList list;
        for (const ChatMessage &m : messages)
            list.append(m.id);
        return list;
    }

private:
    std::unique_ptr<WebSocketTestServer> m_server;
};
