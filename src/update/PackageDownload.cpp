#include "PackageDownload.h"

#include "TransportError.h"

#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryFile>
#include <utility>

PackageDownload::PackageDownload(QNetworkAccessManager &network, const QUrl &url, const QString &destination,
                                 std::chrono::milliseconds timeout, QObject *parent)
    : QObject(parent),
      m_file(std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/Zephlin-download-XXXXXX"))),
      m_destination(destination)
{
    if (!m_file->open())
        m_writeError = m_file->errorString();
    m_reply = network.get(QNetworkRequest(url));
    TransportError::expireAfter(m_reply, timeout);
    connect(m_reply, &QNetworkReply::readyRead, this, &PackageDownload::onReadyRead);
    connect(m_reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64 total) {
        if (total > 0)
            Q_EMIT progressChanged(int(received * 100 / total));
    });
    connect(m_reply, &QNetworkReply::finished, this, &PackageDownload::onFinished);
}

PackageDownload::~PackageDownload()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
}

QString PackageDownload::destinationFor(const QString &version)
{
    QString safe = version;
    for (QChar &c : safe) {
        if (!c.isLetterOrNumber() && c != u'.' && c != u'-' && c != u'_')
            c = u'_';
    }
    return QDir::tempPath() + QStringLiteral("/Zephlin-") + safe + QStringLiteral(".ipa");
}

void PackageDownload::onReadyRead()
{
    const QByteArray chunk = m_reply->readAll();
    if (m_writeError.isEmpty() && m_file->write(chunk) != chunk.size())
        m_writeError = m_file->errorString();
}

void PackageDownload::onFinished()
{
    QNetworkReply *reply = std::exchange(m_reply, nullptr);
    reply->deleteLater();
    if (const QByteArray rest = reply->readAll(); !rest.isEmpty() && m_writeError.isEmpty()
                                                   && m_file->write(rest) != rest.size())
        m_writeError = m_file->errorString();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && status.toInt() >= 400)
        return fail(QStringLiteral("HTTP错误 ") + QString::number(status.toInt()));
    if (reply->error() != QNetworkReply::NoError)
        return fail(TransportError::describe(*reply));
    if (!m_writeError.isEmpty())
        return fail(m_writeError);
    if (!m_file->flush())
        return fail(m_file->errorString());

    // Downloading the same version again replaces the earlier package.
    if (QFile earlier(m_destination); earlier.exists() && !earlier.remove())
        return fail(earlier.errorString());
    m_file->close();
    if (!m_file->rename(m_destination))
        return fail(m_file->errorString());
    m_file->setAutoRemove(false);
    Q_EMIT finished(m_destination, QString());
}

void PackageDownload::fail(const QString &description)
{
    const QString reason = description.isEmpty() ? QStringLiteral("未知错误") : description;
    Q_EMIT finished(QString(), QStringLiteral("下载失败: ") + reason);
}
