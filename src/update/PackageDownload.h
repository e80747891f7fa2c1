#pragma once
// Downloads one installation package into the user's own cache folder, streaming it to disk, and
// moves it to its final name (replacing an earlier file of that name) once it has fully arrived.
// The shared temporary folder is never used: another local user could plant a file or link under
// the name there. An HTTP error status is a failed download: its body is an error page, not a
// package. When the version file lists the package's SHA-256, a package that does not match fails.
#include <QCryptographicHash>
#include <QObject>
#include <QString>
#include <QUrl>
#include <chrono>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class QTemporaryFile;

class PackageDownload : public QObject
{
    Q_OBJECT

public:
    // The download fails once no data has arrived for `timeout`. An empty `sha256` (hex) checks nothing.
    PackageDownload(QNetworkAccessManager &network, const QUrl &url, const QString &destination,
                    const QString &sha256, std::chrono::milliseconds timeout, QObject *parent = nullptr);
    ~PackageDownload() override;

    // "Zephlin-<version>.ipa" in the "updates" folder of the app's cache folder. Characters that could
    // lead out of that folder (path separators and the like) are replaced: the version comes from
    // the server.
    static QString destinationFor(const QString &version);

Q_SIGNALS:
    void progressChanged(int percent);
    // On success `error` is empty and `path` holds the package; otherwise `error` says what failed,
    // already prefixed with "下载失败: ".
    void finished(const QString &path, const QString &error);

private:
    void onReadyRead();
    void onFinished();
    void fail(const QString &description);
    void write(const QByteArray &chunk);

    QNetworkReply *m_reply = nullptr;
    std::unique_ptr<QTemporaryFile> m_file;
    QString m_destination;
    QByteArray m_expectedSha256;
    QCryptographicHash m_sha256{QCryptographicHash::Sha256};
    QString m_writeError;
};
