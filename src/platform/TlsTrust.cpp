#include "TlsTrust.h"

#include <QSslConfiguration>

namespace TlsTrust {

int addCaFile(const QString &path)
{
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(path, QSsl::Pem);
    addCaCertificates(certificates);
    return int(certificates.size());
}

void addCaCertificates(const QList<QSslCertificate> &certificates)
{
    if (certificates.isEmpty())
        return;
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    QList<QSslCertificate> authorities = configuration.caCertificates();
    for (const QSslCertificate &certificate : certificates) {
        if (!authorities.contains(certificate))
            authorities.append(certificate);
    }
    configuration.setCaCertificates(authorities);
    QSslConfiguration::setDefaultConfiguration(configuration);
}

} // namespace TlsTrust
