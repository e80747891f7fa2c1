#pragma once
// An in-process server on a free loopback port with real TLS (a test CA the process trusts), a
// hand-moved clock, short timeouts and cheap password hashing.
#include "ManualClock.h"
#include "RestProbe.h"
#include "SeededAccounts.h"
#include "core/ServerCore.h"
#include "WsProbe.h"

#include <QTemporaryDir>
#include <memory>

class ServerFixture
{
public:
    using Account = SeededAccounts::Account;

    static Limits testLimits();
    explicit ServerFixture(Limits limits = testLimits());

    QUrl baseUrl() const;
    QUrl wsUrl() const;
    QString dataDir() const { return m_dir.path(); }
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

private:
    QTemporaryDir m_dir;
    ManualClock m_clock;
    std::unique_ptr<ServerCore> m_core;
};
