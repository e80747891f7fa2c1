#pragma once
// Everything a running server needs to know: where its data lives, where it listens, its TLS
// identity and its limits.
#include "core/Limits.h"
#include "accounts/PasswordHasher.h"

#include <QHostAddress>
#include <QList>
#include <QSslCertificate>
#include <QSslKey>
#include <QString>

class Clock;

struct ServerOptions
{
    QString dataDir;
    QString databaseUrl; // empty: SQLite in the data folder
    QHostAddress address = QHostAddress::LocalHost;
    quint16 port = 0; // 0: any free port (tests)
    QSslCertificate certificate;
    QList<QSslCertificate> chain; // intermediates sent after the certificate
    QSslKey privateKey;
    QString updatesDir; // empty: <dataDir>/updates
    Limits limits;
    PasswordHasher::Cost passwordCost;
    const Clock *clock = nullptr; // null: the system clock
};
