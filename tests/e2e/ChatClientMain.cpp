// One client core in a process of its own, for the fault-injection test: the chat state with the
// process-wide WebSocket client and its sealed cache, driven by one JSON command a line on stdin and
// answering each with one JSON line on stdout. Its settings, keychain and cache live in the XDG
// folders its parent gives it, so a second run with the same folders is a restart of the app.
//   zephlin-e2e-client SERVER_URL CA_FILE
// Commands: login {user, password} · send {room: global|dm|group, to?, gid?, text} · deaf (frames
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
            rows.append(QJsonObject{{QStringLiteral("room"), room},
                                    {QStringLiteral("id"), m.id},
                                    {QStringLiteral("from"), m.from},
                                    {QStringLiteral("content"), m.content},
                                    {QStringLiteral("failed"), m.failed.value_or(false)}});
    };
    add(QStringLiteral("global"), chat.globalMessages());
    for (auto it = chat.dmMessages().begin(); it != chat.dmMessages().end(); ++it)
        add(QStringLiteral("dm:") + it.key(), it.value());
    for (auto it = chat.groupMessages().begin(); it != chat.groupMessages().end(); ++it)
        add(QStringLiteral("group:") + it.key(), it.value());
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
        const QString cmd = command.value(QStringLiteral("cmd")).toString();
        if (cmd == QLatin1String("login"))
            login(command.value(QStringLiteral("user")).toString(), command.value(QStringLiteral("password")).toString());
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
            reply({{QStringLiteral("ok"), result.ok()},
                   {QStringLiteral("id"), result ? result->user.id : QString()},
                   {QStringLiteral("error"), result ? QString() : result.error()}});
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
        const QString room = command.value(QStringLiteral("room")).toString();
        if (room == QLatin1String("dm"))
            m_chat.setCurrentRoom(RoomType::dm(command.value(QStringLiteral("to")).toString(), QString()));
        else if (room == QLatin1String("group"))
            m_chat.setCurrentRoom(RoomType::group(command.value(QStringLiteral("gid")).toString(), QString()));
        else
            m_chat.setCurrentRoom(RoomType::global());
        m_chat.sendMessage(command.value(QStringLiteral("text")).toString());
        reply({{QStringLiteral("ok"), true}});
    }

    void deaf()
    {
        m_ws.inbound().hold();
        m_deaf = true;
        reply({{QStringLiteral("ok"), true}});
    }

    void cut()
    {
        for (QWebSocket *socket : m_ws.findChildren<QWebSocket *>())
            socket->abort();
        if (std::exchange(m_deaf, false)) {
            m_ws.inbound().discard();
            m_ws.inbound().release();
        }
        reply({{QStringLiteral("ok"), true}});
    }

    QJsonObject state() const
    {
        const bool idle = m_ws.inbound().isIdle() && !m_chat.cache().savePending() && !m_chat.cache().isWriting();
        return {{QStringLiteral("connected"), m_ws.isConnected()},
                {QStringLiteral("ready"), m_ready},
                {QStringLiteral("idle"), idle},
                {QStringLiteral("messages"), messagesOf(m_chat)}};
    }

    void quit()
    {
        m_chat.flushPendingSave();
        reply({{QStringLiteral("ok"), true}});
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
    SettingsStore::shared().setString(QStringLiteral("zp_server_url"), args.at(1));
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
