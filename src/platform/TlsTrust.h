#pragma once
// Extra trusted certificate authorities (a self-hosted server's own CA, the test CA), added to the
// default TLS configuration at start. Verification is never switched off.
#include <QList>
#include <QSslCertificate>
#include <QString>

namespace TlsTrust {
// Adds every certificate of a PEM file; returns the number added (0 when the file is missing or holds none).
int addCaFile(const QString &path);
void addCaCertificates(const QList<QSslCertificate> &certificates);
} // namespace TlsTrust
