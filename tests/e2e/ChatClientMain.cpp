// One client core in a process of its own, for the fault-injection test: the chat state with the
// process-wide WebSocket client and its sealed cache, driven by one JSON command a line on stdin and
// answering each with one JSON line on stdout. Its settings, keychain and cache live in the XDG
// folders its parent gives it, so a second run with the same folders is a restart of the app.
//   zephlin-e2e-client SERVER_URL CA_FILE
// Commands: login {user, password} · send {room: global|dm, to?, text} · deaf (frames
// from the server wait unread) · cut (the socket aborted, as when the network goes; frames a deaf
// client did not read are lost with it) · state · quit.
#include "APIService.h"
#include "ChatViewModel.h"
#include "SettingsStore.h"
#include "TlsTrust.h"
#include "WebSocketService.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSocketNotifier>
#include <QTimer>
#include <QWebSocket>
#include <cstdio>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

void reply(const QJsonObject &answer)
{
    const QByteArray line = QJsonDocument(answer).toJson(QJsonDocument::Compact) + '\n';
    fwrite(line.constData(), 1, size_t(line.size()), stdout);
    fflush(stdout);
}

QJsonArray messagesOf(const ChatViewModel &chat)
{
    QJsonArray rows;
    const auto add = [&rows](const QString &room, const QList<ChatMessage> &list) {
        for (const ChatMessage &m : list)
            rows.append(QJsonObject{{u"room"_s, room}, {u"id"_s, m.id}, {u"content"_s, m.content}, {u"failed"_s, m.failed.value_or(false)}});
    };
    add(u"global"_s, chat.globalMessages());
    for (auto it = chat.dmMessages().begin(); it != chat.dmMessages().end(); ++it)
        add(u"dm:"_s + it.key(), it.value());
    return rows;
}

class Client
{
public:
    Client() : m_ws(WebSocketService::shared())
    {
        // Ready once the chat state has merged the hello of the current connection.
        std::function<void(HelloMessage)> merge = m_ws.onHello;
        m_ws.onHello = [this, merge](HelloMessage hello) {
            merge(std::move(hello));
            m_ready = true;
        };
        QObject::connect(&m_ws, &WebSocketService::isConnectedChanged, [this] { m_ready = m_ready && m_ws.isConnected(); });
    }

    void handle(const QJsonObject &command)
    {
        const QString cmd = command.value(u"cmd"_s).toString();
        if (cmd == QLatin1String("login"))
            login(command.value(u"user"_s).toString(), command.value(u"password"_s).toString());
        else if (cmd == QLatin1String("send"))
            send(command);
        else if (cmd == QLatin1String("deaf"))
            deaf();
        else if (cmd == QLatin1String("cut"))
            cut();
        else if (cmd == QLatin1String("state"))
            reply(state());
        else if (cmd == QLatin1String("quit"))
            quit();
    }

private:
    void login(const QString &user, const QString &password)
    {
        APIService::shared().login(user, password, nullptr, [this](const Result<LoginResponse> &result) {
            if (result)
                m_ws.connectToServer(result->token);
            reply({{u"ok"_s, result.ok()}, {u"id"_s, result ? result->user.id : QString()}, {u"error"_s, result ? QString() : result.error()}});
        });
    }

    void send(const QJsonObject &command)
    {
        // The chat state's own 0.3 s gate would drop a send that follows too closely.
        const qint64 wait = m_lastSendMs + 350 - QDateTime::currentMSecsSinceEpoch();
        if (wait > 0) {
            QTimer::singleShot(wait, [this, command] { send(command); });
            return;
        }
        m_lastSendMs = QDateTime::currentMSecsSinceEpoch();
        const QString room = command.value(u"room"_s).toString();
        m_chat.setCurrentRoom(room == u"dm"_s ? RoomType::dm(command.value(u"to"_s).toString(), QString()) : RoomType::global());
        m_chat.sendMessage(command.value(u"text"_s).toString());
        reply({{u"ok"_s, true}});
    }

    void deaf()
    {
        m_ws.inbound().hold();
        m_deaf = true;
        reply({{u"ok"_s, true}});
    }

    void cut()
    {
        for (QWebSocket *socket : m_ws.findChildren<QWebSocket *>())
            socket->abort();
        if (std::exchange(m_deaf, false)) {
            m_ws.inbound().discard();
            m_ws.inbound().release();
        }
        reply({{u"ok"_s, true}});
    }

    QJsonObject state() const
    {
        const bool idle = m_ws.inbound().isIdle() && !m_chat.cache().savePending() && !m_chat.cache().isWriting();
        return {{u"ready"_s, m_ready}, {u"idle"_s, idle}, {u"messages"_s, messagesOf(m_chat)}};
    }

    void quit()
    {
        m_chat.flushPendingSave();
        reply({{u"ok"_s, true}});
        QCoreApplication::quit();
    }

    WebSocketService &m_ws;
    ChatViewModel m_chat;
    // The hello of the current connection has arrived.
    bool m_ready = false;
    bool m_deaf = false;
    qint64 m_lastSendMs = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3 || TlsTrust::addCaFile(args.at(2)) <= 0)
        return 2;
    SettingsStore::shared().setString(u"zp_server_url"_s, args.at(1));
    Client client;

    QByteArray buffer;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char chunk[4096];
        const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (got <= 0) {
            QCoreApplication::quit();
            return;
        }
        buffer.append(chunk, got);
        for (qsizetype end = buffer.indexOf('\n'); end >= 0; end = buffer.indexOf('\n')) {
            const QByteArray line = buffer.left(end);
            buffer.remove(0, end + 1);
            client.handle(QJsonDocument::fromJson(line).object());
        }
    });
    return app.exec();
}
