#pragma once
// A chat state wired to its own WebSocket client, fed through real JSON frames, with a settable
// clock, predictable optimistic ids, a scripted group search and its own settings folder.
#include "ChatViewModel.h"
#include "SettingsStore.h"
#include "WebSocketService.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
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
    QStringList searchedKeywords;
    ChatServices::SearchReply pendingSearch;

    ChatFixture()
    {
        SettingsStore::shared().setLocation(dir.path());
        ws = std::make_unique<WebSocketService>(staysDown());
    }

    ~ChatFixture()
    {
        chat.reset();
        ws.reset();
    }

    // No watchdog and no scheduled reconnect while a test runs.
    static WebSocketTiming staysDown()
    {
        WebSocketTiming timing;
        timing.authDelay = 20ms;
        timing.connectionCheckInterval = 600s;
        timing.reconnectStepSeconds = 600.0;
        timing.reconnectCapSeconds = 600.0;
        return timing;
    }

    ChatServices services()
    {
        ChatServices services;
        services.ws = ws.get();
        services.nowMs = [this] { return now; };
        services.newUuid = [this] { return QStringLiteral("00000000-0000-4000-8000-%1").arg(++uuids, 12, 10, QLatin1Char('0')); };
        services.toastDuration = 40ms;
        services.searchGroups = [this](const QString &keyword, ChatServices::SearchReply reply) {
            searchedKeywords.append(keyword);
            pendingSearch = std::move(reply);
        };
        return services;
    }

    ChatViewModel &make()
    {
        chat = std::make_unique<ChatViewModel>(services());
        return *chat;
    }

    static void setMe(const QString &id) { SettingsStore::shared().setString(QStringLiteral("zp_current_uid"), id); }

    void deliver(const QJsonObject &frame) { ws->handleMessage(QString::fromUtf8(QJsonDocument(frame).toJson(QJsonDocument::Compact))); }
    // A frame written as JSON with single quotes for readability: {'type':'global', ...}.
    void deliver(const char *json) { ws->handleMessage(QString::fromUtf8(json).replace(u'\'', u'"')); }

    static QJsonObject message(const QString &type, const QString &id, const QString &from, const QString &content,
                               qint64 time, const QJsonObject &extra = {})
    {
        QJsonObject frame = extra;
        frame.insert(QStringLiteral("type"), type);
        if (!id.isEmpty())
            frame.insert(QStringLiteral("id"), id);
        frame.insert(QStringLiteral("from"), from);
        frame.insert(QStringLiteral("fromName"), from.toUpper());
        frame.insert(QStringLiteral("content"), content);
        frame.insert(QStringLiteral("time"), time);
        return frame;
    }

    static QJsonObject stored(const QString &id, const QString &from, qint64 time = startMs)
    {
        QJsonObject object = message(QString(), id, from, QStringLiteral("text ") + id, time);
        object.remove(QStringLiteral("type"));
        return object;
    }

    static QJsonObject group(const QString &id, const QString &owner, const QString &name = QString())
    {
        return {{QStringLiteral("id"), id},
                {QStringLiteral("name"), name.isEmpty() ? QStringLiteral("group ") + id : name},
                {QStringLiteral("owner"), owner},
                {QStringLiteral("members"), QJsonArray{owner}}};
    }

    static QJsonObject user(const QString &id) { return {{QStringLiteral("id"), id}, {QStringLiteral("username"), id.toUpper()}}; }

    static QJsonObject hello(const QJsonObject &members)
    {
        QJsonObject frame = members;
        frame.insert(QStringLiteral("type"), QStringLiteral("hello"));
        return frame;
    }

    static QStringList ids(const QList<ChatMessage> &messages)
    {
        QStringList list;
        for (const ChatMessage &m : messages)
            list.append(m.id);
        return list;
    }
};
