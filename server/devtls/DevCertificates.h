#pragma once
// A local certificate authority and a localhost server certificate signed by it, for running the
// companion server on one's own machine (--dev-tls) and for tests. Clients trust the CA explicitly;
// nothing here turns verification off.
#include "Result.h"

#include <QByteArray>
#include <QSslCertificate>
#include <QSslKey>
#include <QString>

struct DevCertificates
{
    QSslCertificate caCertificate;
    QSslCertificate serverCertificate; // for localhost, 127.0.0.1 and ::1
    QSslKey serverKey;
    QByteArray caPem;
    QByteArray serverCertificatePem;
    QByteArray serverKeyPem;

    // A fresh CA and server certificate, in memory.
    static Result<DevCertificates> generate();
    // Reads ca.pem, server.pem and server.key from the folder, creating them (once) when missing.
    static Result<DevCertificates> loadOrCreate(const QString &directory);

    static QString caFileName() { return QStringLiteral("ca.pem"); }
};
