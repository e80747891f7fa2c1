#include "ServerFixture.h"

#include "DevCertificates.h"
#include "storage/FriendStore.h"
#include "TestDatabase.h"
#include "TlsTrust.h"
#include "storage/UserStore.h"

#include <QJsonArray>
#include <QtTest>

namespace {
// The test CA, trusted process-wide the first time a fixture is made.
const DevCertificates &certificates()
{
    static const DevCertificates certs = [] {
        const Result<DevCertificates> generated = DevCertificates::generate();
        if (!generated)
            qFatal("cannot generate test certificates: %s", qPrintable(generated.error()));
        TlsTrust::addCaCertificates({generated->caCertificate});
        return generated.value();
    }();
    return certs;
}
} // namespace

Limits ServerFixture::testLimits()
{
    Limits limits;
    limits.authTimeoutMs = 1000;
    limits.httpIdleTimeoutMs = 800; // shorter than the sign-in wait, so signed-in sockets prove they are left alone
    limits.requestDeadlineMs = 1500;
    limits.presenceDelayMs = 20;
    limits.feedDelayMs = 20;
    limits.maxRequestBody = 1024 * 1024;
    limits.maxImageBytes = 512 * 1024;
    return limits;
}

ServerFixture::ServerFixture(Limits limits)
{
    const DevCertificates &certs = certificates();
    ServerOptions options;
    options.dataDir = m_dir.path();
    options.databaseUrl = TestDatabase::urlFor(m_dir.path());
    options.address = QHostAddress::LocalHost;
    options.certificate = certs.serverCertificate;
    options.privateKey = certs.serverKey;
    options.limits = limits;
    options.passwordCost = PasswordHasher::testCost();
    options.clock = &m_clock;
    m_core = std::make_unique<ServerCore>(options);
    if (!m_core->start())
        qWarning() << "server did not start:" << m_core->errorText();
}

QUrl ServerFixture::baseUrl() const
{
    return QUrl(QStringLiteral("https://127.0.0.1:%1/").arg(m_core->port()));
}

QUrl ServerFixture::wsUrl() const
{
    return QUrl(QStringLiteral("wss://127.0.0.1:%1/ws").arg(m_core->port()));
}

ServerFixture::Account ServerFixture::signUp(const QString &name, bool admin)
{
    RestProbe rest(baseUrl());
    const RestReply registered = rest.registerUser(name, password());
    if (registered.status != 200)
        qWarning() << "register failed" << registered.status << registered.body << registered.transportError;
    const RestReply login = rest.login(name, password());
    const QJsonObject user = login.json.value(QStringLiteral("user")).toObject();
    Account account{user.value(QStringLiteral("id")).toString(), name, login.json.value(QStringLiteral("token")).toString()};
    if (admin) {
        UserStore users(m_core->database());
        users.setAdmin(account.id, true);
    }
    return account;
}

std::unique_ptr<WsProbe> ServerFixture::connect(const Account &account)
{
    auto probe = WsProbe::signedIn(wsUrl(), account.token);
    if (!probe)
        qFatal("could not sign in over WebSocket as %s", qPrintable(account.name));
    return probe;
}

void ServerFixture::befriend(const Account &a, const Account &b)
{
    FriendStore friends(m_core->database());
    friends.befriend(a.id, b.id, m_clock.nowMs());
}

QString ServerFixture::createGroup(WsProbe &owner, const QString &name, const QStringList &members)
{
    const QJsonObject created = owner.ask(frame(QStringLiteral("create-group"), {{QStringLiteral("name"), name},
                                                                                 {QStringLiteral("members"), QJsonArray::fromStringList(members)}}),
                                          QStringLiteral("group-created"));
    return created.value(QStringLiteral("group")).toObject().value(QStringLiteral("id")).toString();
}
