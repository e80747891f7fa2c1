#include "core/ServerCore.h"

#include "rest/AccountApi.h"
#include "accounts/AccountService.h"
#include "live/AdminCommands.h"
#include "live/ChatHub.h"
#include "core/Clock.h"
#include "rest/ContentApi.h"
#include "storage/Database.h"
#include "live/FriendCommands.h"
#include "storage/FriendStore.h"
#include "live/GroupCommands.h"
#include "storage/GroupStore.h"
#include "rest/GuardedSslServer.h"
#include "storage/HallSettings.h"
#include "live/HelloBuilder.h"
#include "storage/ImageStore.h"
#include "live/MessageCommands.h"
#include "storage/MessageStore.h"
#include "live/MomentCommands.h"
#include "storage/MomentStore.h"
#include "rest/RestSupport.h"
#include "rest/UpdateFiles.h"
#include "core/WorkerPool.h"

#include <QDir>
#include <QFile>
#include <QHttpServer>
#include <QJsonDocument>
#include <QSslConfiguration>
#include <QTimer>
#include <QWebSocket>

namespace {
constexpr int SessionPruneIntervalMs = 3600 * 1000;
} // namespace

struct ServerCore::Parts
{
    Parts(const ServerOptions &options, const Clock &clock)
        : accounts(db, clock, options.limits, PasswordHasher(options.passwordCost)), messages(db), friends(db),
          groups(db), moments(db), hall(db), images(QDir(options.dataDir).filePath(QStringLiteral("uploads")), db, options.limits),
          updates(options.updatesDir.isEmpty() ? QDir(options.dataDir).filePath(QStringLiteral("updates")) : options.updatesDir),
          hub(accounts, hall, clock, options.limits),
          context{accounts, messages, friends, groups, moments, hall, images, hub, clock, options.limits},
          hello(context), messageCommands(context), friendCommands(context), groupCommands(context),
          momentCommands(context), adminCommands(context), accountApi(context, friendCommands, passwordWork),
          contentApi(context, friendCommands, momentCommands, updates, imageWork),
          passwordWork(options.limits.passwordThreads, options.limits.passwordQueue),
          imageWork(options.limits.imageCheckThreads, options.limits.imageCheckQueue)
    {
    }

    Database db;
    // On PostgreSQL, where other nodes may share the site; they outlive the connections that use them.
    std::unique_ptr<SiteBus> bus;
    std::unique_ptr<SitePresence> presence;
    AccountService accounts;
    MessageStore messages;
    FriendStore friends;
    GroupStore groups;
    MomentStore moments;
    HallSettings hall;
    ImageStore images;
    UpdateFiles updates;
    ChatHub hub;
    ChatContext context;
    HelloBuilder hello;
    MessageCommands messageCommands;
    FriendCommands friendCommands;
    GroupCommands groupCommands;
    MomentCommands momentCommands;
    AdminCommands adminCommands;
    AccountApi accountApi;
    ContentApi contentApi;
    QHttpServer http;
    QTimer sessionPruning;
    // Last, so that they go first: their workers finish before anything else is torn down, and
    // results not yet handed back are dropped.
    WorkerPool passwordWork;
    WorkerPool imageWork;
};

ServerCore::ServerCore(ServerOptions options, QObject *parent) : QObject(parent), m_options(std::move(options)) {}

ServerCore::~ServerCore() = default;

ChatHub &ServerCore::hub()
{
    return m_parts->hub;
}

Database &ServerCore::database()
{
    return m_parts->db;
}

bool ServerCore::start()
{
    static const Clock systemClock;
    // A folder made before the server ran may still be open to others.
    if (!QDir().mkpath(m_options.dataDir)
        || !QFile::setPermissions(m_options.dataDir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner)) {
        m_error = QStringLiteral("cannot create the data folder %1").arg(m_options.dataDir);
        return false;
    }
    const Clock &clock = m_options.clock ? *m_options.clock : systemClock;
    m_parts = std::make_unique<Parts>(m_options, clock);
    Parts &parts = *m_parts;
    if (!parts.db.open(Database::location(m_options.dataDir, m_options.databaseUrl))) {
        m_error = QStringLiteral("cannot open the database: %1").arg(parts.db.errorText());
        return false;
    }
    if (parts.db.backend() == Database::Backend::Postgres) {
        parts.bus = std::make_unique<SiteBus>(parts.db, Database::location(m_options.dataDir, m_options.databaseUrl));
        if (!parts.bus->start()) {
            m_error = QStringLiteral("cannot listen for the other nodes' events: %1").arg(parts.bus->errorText());
            return false;
        }
        parts.presence = std::make_unique<SitePresence>(parts.db, parts.bus->nodeId(), m_options.limits.nodeTimeoutMs);
        if (!parts.presence->start()) {
            m_error = QStringLiteral("cannot record this node: %1").arg(parts.db.errorText());
            return false;
        }
        parts.hub.setSite(parts.bus.get(), parts.presence.get());
    }

    // The connections of the sessions a sign-in or password change ended hear of it in its unit of work.
    parts.accounts.setSessionChange([&parts](const std::function<QStringList()> &change, const QString &reason) {
        return parts.hub.asOneChange([&] {
            const QStringList ended = change();
            if (!ended.isEmpty())
                parts.hub.closeSessions(ended, {{QStringLiteral("type"), QStringLiteral("kicked")}, {QStringLiteral("error"), reason}});
        });
    });
    parts.accounts.pruneSessions();
    parts.sessionPruning.callOnTimeout([&parts] { parts.accounts.pruneSessions(); });
    parts.sessionPruning.start(SessionPruneIntervalMs);

    CommandTable commands;
    parts.messageCommands.registerWith(commands);
    parts.friendCommands.registerWith(commands);
    parts.groupCommands.registerWith(commands);
    parts.momentCommands.registerWith(commands);
    parts.adminCommands.registerWith(commands);
    parts.hub.setCommands(std::move(commands));
    parts.hub.setHelloSource([&parts](const StoredUser &user) { return parts.hello.event(user); });

    parts.accountApi.registerRoutes(parts.http);
    parts.contentApi.registerRoutes(parts.http);
    // The upgrade is handed to newWebSocketConnection only when a route claims "/ws"; answering an
    // upgrade here would send an HTTP response before it. Plain requests are answered, not left hanging.
    parts.http.route("/ws", [](const QHttpServerRequest &request, QHttpServerResponder &&responder) {
        if (RestSupport::header(request, "Upgrade").compare(QLatin1String("websocket"), Qt::CaseInsensitive) != 0)
            responder.write(QJsonDocument(QJsonObject{{QStringLiteral("error"), QStringLiteral("需要WebSocket连接")}}).toJson(QJsonDocument::Compact),
                            QByteArrayLiteral("application/json"), QHttpServerResponder::StatusCode::UpgradeRequired);
    });
    const Limits &limits = m_options.limits;
    auto *listener = new GuardedSslServer(
        limits, [&limits](const QByteArray &path) { return ContentApi::takesUploads(path) ? limits.maxRequestBody : limits.maxSmallBody; },
        &parts.http);
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificateChain(QList<QSslCertificate>{m_options.certificate} + m_options.chain);
    tls.setPrivateKey(m_options.privateKey);
    listener->setSslConfiguration(tls);
    if (!listener->listen(m_options.address, m_options.port)) {
        m_error = QStringLiteral("cannot listen on %1:%2: %3")
                      .arg(m_options.address.toString())
                      .arg(m_options.port)
                      .arg(listener->errorString());
        return false;
    }
    parts.http.bind(listener);
    connect(&parts.http, &QHttpServer::newWebSocketConnection, this, [&parts, listener] {
        while (parts.http.hasPendingWebSocketConnections()) {
            std::unique_ptr<QWebSocket> socket = parts.http.nextPendingWebSocketConnection();
            QSslSocket *transport = listener->transportFor(socket->peerAddress(), socket->peerPort());
            parts.hub.adopt(std::move(socket), transport);
        }
    });
    m_port = listener->serverPort();
    return true;
}
