#pragma once
// Downloads one installation package into the temporary folder, streaming it to disk, and moves it
// to its final name (replacing an earlier file of that name) once it has fully arrived.
// An HTTP error status is a failed download: its body is an error page, not a package.
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
    // The download fails once no data has arrived for `timeout`.
    PackageDownload(QNetworkAccessManager &network, const QUrl &url, const QString &destination,
                    std::chrono::milliseconds timeout, QObject *parent = nullptr);
    ~PackageDownload() override;

    // "Zephlin-<version>.ipa" in the temporary folder. Characters that could lead out of that folder
    // (path separators and the like) are replaced: the version comes from the server.
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

    QNetworkReply *m_reply = nullptr;
    std::unique_ptr<QTemporaryFile> m_file;
    QString m_destination;
    QString m_writeError;
};
