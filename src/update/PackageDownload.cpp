#include "PackageDownload.h"

#include "AppPaths.h"
#include "TransportError.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryFile>
#include <utility>

PackageDownload::PackageDownload(QNetworkAccessManager &network, const QUrl &url, const QString &destination,
                                 const QString &sha256, std::chrono::milliseconds timeout, QObject *parent)
    : QObject(parent),
      m_destination(destination),
      m_expectedSha256(sha256.toLatin1().toLower())
{
    // Written beside its final name, so the rename at the end stays within one folder.
    const QString folder = QFileInfo(destination).absolutePath();
    m_file = std::make_unique<QTemporaryFile>(folder + QStringLiteral("/Zephlin-download-XXXXXX"));
    if (!AppPaths::ensurePrivateDir(folder))
        m_writeError = QStringLiteral("无法创建文件夹 ") + folder;
    else if (!m_file->open())
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
    return AppPaths::cacheDir() + QStringLiteral("/updates/Zephlin-") + safe + QStringLiteral(".ipa");
}

void PackageDownload::onReadyRead()
{
    write(m_reply->readAll());
}

void PackageDownload::write(const QByteArray &chunk)
{
    m_sha256.addData(chunk);
    if (m_writeError.isEmpty() && m_file->write(chunk) != chunk.size())
        m_writeError = m_file->errorString();
}

void PackageDownload::onFinished()
{
    QNetworkReply *reply = std::exchange(m_reply, nullptr);
    reply->deleteLater();
    write(reply->readAll());

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && status.toInt() >= 400)
        return fail(QStringLiteral("HTTP错误 ") + QString::number(status.toInt()));
    if (reply->error() != QNetworkReply::NoError)
        return fail(TransportError::describe(*reply));
    if (!m_writeError.isEmpty())
        return fail(m_writeError);
    if (!m_file->flush())
        return fail(m_file->errorString());
    if (!m_expectedSha256.isEmpty() && m_sha256.result().toHex() != m_expectedSha256)
        return fail(QStringLiteral("安装包校验失败，文件可能已损坏或被篡改"));

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
