#pragma once
// An in-process server on a free loopback port with real TLS (a test CA the process trusts), a
// hand-moved clock, short timeouts and cheap password hashing.
#include "ManualClock.h"
#include "RestProbe.h"
#include "core/ServerCore.h"
#include "WsProbe.h"

#include <QTemporaryDir>
#include <memory>

class ServerFixture
{
public:
    struct Account
    {
        QString id;
        QString name;
        QString token;
    };

    static Limits testLimits();
    // `databaseUrl`: another node of the site whose database that is; empty: a database of its own.
    explicit ServerFixture(Limits limits = testLimits(), const QString &databaseUrl = {});

    bool started() const { return m_started; }
    QUrl baseUrl() const;
    QUrl wsUrl() const;
    QString dataDir() const { return m_dir.path(); }
    QString databaseUrl() const { return m_databaseUrl; }
    ServerCore &core() { return *m_core; }
    ManualClock &clock() { return m_clock; }

    // The password of every account signed up here.
    static QString password() { return QStringLiteral("pass1234"); }
    // Registers and signs in a user (an administrator when asked).
    Account signUp(const QString &name, bool admin = false);
    // An open socket signed in as the account (hello already taken).
    std::unique_ptr<WsProbe> connect(const Account &account);
    void befriend(const Account &a, const Account &b);
    // Creates a group owned by the socket's user with these members (user ids); returns its id.
    static QString createGroup(WsProbe &owner, const QString &name, const QStringList &members = {});

    // The test CA, trusted process-wide the first time a fixture is made.
    static const struct DevCertificates &certificates();

private:
    QTemporaryDir m_dir;
    QString m_databaseUrl;
    ManualClock m_clock;
    std::unique_ptr<ServerCore> m_core;
    bool m_started = false;
};
