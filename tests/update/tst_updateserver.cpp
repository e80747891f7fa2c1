// The update checker against the companion server's update files: the version file it serves, the
// package download, and its "not found" answer for a package that is not there.
#include "AppUpdateChecker.h"
#include "DevCertificates.h"
#include "PackageDownload.h"
#include "core/ServerCore.h"
#include "TlsTrust.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QTemporaryDir>
#include <QtTest>

class UpdateServerTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_data;
    QTemporaryDir m_temp;
    std::unique_ptr<ServerCore> m_core;
    QNetworkAccessManager m_network;

    QByteArray baseURL() const { return QStringLiteral("https://127.0.0.1:%1").arg(m_core->port()).toUtf8(); }
    void writeUpdateFile(const QString &name, const QByteArray &content)
    {
        QFile file(m_data.path() + QStringLiteral("/updates/") + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(content), content.size());
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_data.isValid() && m_temp.isValid());
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_temp.path()));
        Result<DevCertificates> certificates = DevCertificates::generate();
        QVERIFY2(certificates.ok(), qPrintable(certificates.error()));
        TlsTrust::addCaCertificates({certificates->caCertificate});
        ServerOptions options;
        options.dataDir = m_data.path();
        options.updatesDir = m_data.path() + QStringLiteral("/updates");
        options.certificate = certificates->serverCertificate;
        options.privateKey = certificates->serverKey;
        options.passwordCost = PasswordHasher::testCost();
        QVERIFY(QDir().mkpath(options.updatesDir));
        m_core = std::make_unique<ServerCore>(options);
        QVERIFY2(m_core->start(), qPrintable(m_core->errorText()));
    }

    void offersAndDownloadsThePackageOrFailsOnAMissingOne()
    {
        const QByteArray package(256 * 1024, 'Z');
        writeUpdateFile(QStringLiteral("Zephlin-9.1.0.ipa"), package);
        writeUpdateFile(QStringLiteral("version.json"), "{\"version\":\"9.1.0\",\"url\":\"" + baseURL()
                                                            + "/downloads/zephlin/Zephlin-9.1.0.ipa\",\"notes\":\"更快更稳\",\"sha256\":\""
                                                            + QCryptographicHash::hash(package, QCryptographicHash::Sha256).toHex() + "\"}");
        AppUpdateChecker checker(QString::fromUtf8(baseURL()), QStringLiteral("1.2.0"), &m_network);
        QStringList handedOver;
        checker.setFileHandOff([&](const QString &path) { handedOver.append(path); });
        std::optional<AppUpdateInfo> silent;
        checker.checkSilently(this, [&](const std::optional<AppUpdateInfo> &info) { silent = info; });
        QTRY_VERIFY(silent);
        QCOMPARE(silent->version, QStringLiteral("9.1.0"));

        checker.checkAndPrompt();
        QTRY_COMPARE(checker.stage(), AppUpdateChecker::UpdateAvailable);
        QCOMPARE(checker.alertTitle(), QStringLiteral("发现新版本 9.1.0"));
        QCOMPARE(checker.alertMessage(), QStringLiteral("更快更稳"));
        checker.chooseButton(0);
        QTRY_COMPARE(checker.stage(), AppUpdateChecker::Downloaded);
        const QString expected = PackageDownload::destinationFor(QStringLiteral("9.1.0"));
        QCOMPARE(handedOver, QStringList{expected});
        QFile saved(expected);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), package);
        checker.chooseButton(0);

        // The server's "not found" page for a package that is not there is no package.
        writeUpdateFile(QStringLiteral("version.json"), "{\"version\":\"9.2.0\",\"url\":\"" + baseURL() + "/downloads/zephlin/absent.ipa\"}");
        checker.checkAndPrompt();
        QTRY_COMPARE(checker.stage(), AppUpdateChecker::UpdateAvailable);
        QCOMPARE(checker.alertMessage(), QStringLiteral("点击下载更新"));
        checker.chooseButton(0);
        QTRY_COMPARE(checker.stage(), AppUpdateChecker::DownloadFailed);
        QCOMPARE(checker.alertMessage(), QStringLiteral("下载失败: HTTP错误 404"));
        QVERIFY(!QFile::exists(PackageDownload::destinationFor(QStringLiteral("9.2.0"))));
        QCOMPARE(handedOver.size(), 1);
    }
};

QTEST_MAIN(UpdateServerTest)
#include "tst_updateserver.moc"
