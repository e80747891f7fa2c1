// The update checker against a local HTTPS update server: the silent check's daily throttle, the
// interactive sequence of alerts, and the package download: into the user's cache folder, only over
// https, checked against the listed SHA-256.
#include "AppUpdateChecker.h"
#include "DevCertificates.h"
#include "LocalHttpsServer.h"
#include "PackageDownload.h"

#include <QDir>
#include <QFile>
#include <QCryptographicHash>
#include <QNetworkAccessManager>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString versionPath = QStringLiteral("/downloads/zephlin/version.json");
} // namespace

class UpdateCheckerTest : public QObject
{
    Q_OBJECT

    LocalHttpsServer m_server;
    QNetworkAccessManager m_network;
    QTemporaryDir m_temp;
    QTemporaryDir m_cache;
    QDateTime m_now;
    QStringList m_handedOver;

    std::unique_ptr<AppUpdateChecker> makeChecker(std::optional<QString> version = QStringLiteral("1.9.3"))
    {
        auto checker = std::make_unique<AppUpdateChecker>(m_server.baseURL(), version, &m_network);
        checker->setClock([this] { return m_now; });
        checker->setFileHandOff([this](const QString &path) { m_handedOver.append(path); });
        return checker;
    }

    // Runs the interactive check up to the "new version" alert for a package at `url`.
    void offer(AppUpdateChecker &checker, const QString &version, const QString &url, const QByteArray &sha256 = {})
    {
        const QByteArray hash = sha256.isEmpty() ? QByteArray() : ",\"sha256\":\"" + sha256 + '"';
        m_server.setResponse(versionPath, {200, "application/json",
                                           QStringLiteral(R"({"version":"%1","url":"%2")").arg(version, url).toUtf8() + hash + '}'});
        checker.checkAndPrompt();
        QTRY_COMPARE(checker.stage(), AppUpdateChecker::UpdateAvailable);
    }

    QByteArray fileBytes(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.startTrusted());
        QVERIFY(m_temp.isValid() && m_cache.isValid());
        // Packages belong in the cache folder; the temporary folder must stay empty.
        qputenv("TMPDIR", QFile::encodeName(m_temp.path()));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_cache.path()));
        QCOMPARE(QDir::tempPath(), QDir(m_temp.path()).canonicalPath());
    }

    void init()
    {
        m_now = QDateTime(QDate(2026, 9, 13), QTime(8, 0), Qt::UTC);
        m_handedOver.clear();
        m_server.setHolding(false);
    }

    void silentCheckRunsOncePerDayAndReportsOnlyNewerVersions()
    {
        m_server.setResponse(versionPath, {200, "application/json", "{\"version\":\"1.10.0\",\"url\":\"https://h/p.ipa\"}"});
        auto checker = makeChecker();
        const int before = m_server.requestCount(versionPath);
        QList<std::optional<AppUpdateInfo>> answers;
        const auto check = [&] { checker->checkSilently(this, [&](const std::optional<AppUpdateInfo> &info) { answers.append(info); }); };
        check();
        QTRY_COMPARE(answers.size(), 1);
        QCOMPARE(answers.at(0).value_or(AppUpdateInfo{}).version, QStringLiteral("1.10.0"));

        m_now = m_now.addSecs(86399); // still within the day: no fetch, no call
        check();
        QCOMPARE(m_server.requestCount(versionPath), before + 1);

        m_now = m_now.addSecs(1);
        m_server.setResponse(versionPath, {200, "application/json", "{\"version\":\"1.9.3\",\"url\":\"https://h/p.ipa\"}"});
        check();
        QTRY_COMPARE(answers.size(), 2);
        QVERIFY(!answers.at(1)); // the same version is no update
        QCOMPARE(m_server.requestCount(versionPath), before + 2);
        QCOMPARE(checker->stage(), AppUpdateChecker::Idle); // the silent check shows nothing
    }

    void promptAlerts_data()
    {
        QTest::addColumn<QString>("build"); // the running version; empty for a build without one
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("stage");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("buttons");
        const QStringList ok{QStringLiteral("确定")};
        const QStringList offer{QStringLiteral("下载更新"), QStringLiteral("稍后再说")};
        const QString failed = QStringLiteral("检查失败");
        const QString unreachable = QStringLiteral("无法连接到更新服务器");
        QTest::newRow("newer with notes") << "1.9.3" << 200 << QByteArray("{\"version\":\"1.10.0\",\"url\":\"https://h/p.ipa\",\"notes\":\"修复若干问题\"}")
                                          << int(AppUpdateChecker::UpdateAvailable) << "发现新版本 1.10.0" << "修复若干问题" << offer;
        QTest::newRow("up to date") << "1.9.3" << 200 << QByteArray("{\"version\":\"1.9.3\",\"url\":\"https://h/p.ipa\"}")
                                    << int(AppUpdateChecker::UpToDate) << "已是最新版本" << "当前版本 1.9.3" << ok;
        QTest::newRow("build without a version") << "" << 200 << QByteArray("{\"version\":\"1.0.0\",\"url\":\"https://h/p.ipa\"}")
                                                 << int(AppUpdateChecker::UpToDate) << "已是最新版本" << "当前版本 " << ok;
        QTest::newRow("missing url") << "1.9.3" << 200 << QByteArray(R"({"version":"9.0"})")
                                     << int(AppUpdateChecker::CheckFailed) << failed << unreachable << ok;
        QTest::newRow("error page") << "1.9.3" << 502 << QByteArray("<html><body>Bad Gateway</body></html>")
                                    << int(AppUpdateChecker::CheckFailed) << failed << unreachable << ok;
    }
    void promptAlerts()
    {
        QFETCH(QString, build);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(int, stage);
        QFETCH(QString, title);
        QFETCH(QString, message);
        QFETCH(QStringList, buttons);
        m_server.setResponse(versionPath, {status, status == 200 ? "application/json" : "text/html", body});
        auto checker = makeChecker(build.isEmpty() ? std::nullopt : std::optional<QString>(build));
        checker->checkAndPrompt();
        QCOMPARE(checker->stage(), AppUpdateChecker::Checking);
        QVERIFY(checker->alertButtons().isEmpty() && checker->alertVisible());

        QTRY_COMPARE(int(checker->stage()), stage);
        QCOMPARE(checker->alertTitle(), title);
        QCOMPARE(checker->alertMessage(), message);
        QCOMPARE(checker->alertButtons(), buttons);
        // The last button ("确定" or "稍后再说") closes the alert and fetches nothing.
        const int requests = m_server.totalRequests();
        checker->chooseButton(int(buttons.size()) - 1);
        QCOMPARE(checker->stage(), AppUpdateChecker::Idle);
        QVERIFY(!checker->alertVisible());
        QCOMPARE(m_server.totalRequests(), requests);
    }

    // A version file that cannot be fetched: the alert says why in Chinese, and a server that hangs
    // fails after the request timeout instead of leaving "正在检查..." up for ever.
    void promptTransportFailure_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("message");
        QTest::newRow("hangs") << "hangs" << "请求超时";
        QTest::newRow("untrusted certificate") << "untrusted" << "服务器证书无效";
    }
    void promptTransportFailure()
    {
        QFETCH(QString, server);
        QFETCH(QString, message);
        LocalHttpsServer untrusted;
        const Result<DevCertificates> other = DevCertificates::generate();
        QVERIFY(other.ok() && untrusted.start(other.value()));
        const QString base = server == QLatin1String("untrusted") ? untrusted.baseURL() : m_server.baseURL();
        m_server.setHolding(server == QLatin1String("hangs"));
        AppUpdateChecker checker(base, QStringLiteral("1.0"), &m_network);
        checker.setRequestTimeout(std::chrono::milliseconds(300));
        checker.checkAndPrompt();
        QCOMPARE(checker.stage(), AppUpdateChecker::Checking);
        QTRY_COMPARE(checker.stage(), AppUpdateChecker::CheckFailed);
        QCOMPARE(checker.alertTitle(), QStringLiteral("检查失败"));
        QCOMPARE(checker.alertMessage(), message);
        QCOMPARE(untrusted.totalRequests(), 0);

        // The next check is not refused.
        checker.chooseButton(0);
        m_server.setHolding(false);
        checker.checkAndPrompt();
        QCOMPARE(checker.stage(), AppUpdateChecker::Checking);
        QTRY_VERIFY(checker.stage() != AppUpdateChecker::Checking);
    }

    // The package replaces an earlier, longer download of the same version.
    void downloadSavesAndHandsOverPackage()
    {
        const QString expected = PackageDownload::destinationFor(QStringLiteral("1.10.0"));
        QVERIFY(QDir().mkpath(QFileInfo(expected).absolutePath()));
        QFile earlier(expected);
        QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write(QByteArray(4 * 1024 * 1024, 'E')) > 0);
        earlier.close();
        const QByteArray package(3 * 1024 * 1024, 'P');
        m_server.setResponse(QStringLiteral("/downloads/zephlin/Zephlin-1.10.0.ipa"), {200, "application/octet-stream", package});
        auto checker = makeChecker();
        offer(*checker, QStringLiteral("1.10.0"), m_server.url(QStringLiteral("/downloads/zephlin/Zephlin-1.10.0.ipa")));
        QStringList progress;
        connect(checker.get(), &AppUpdateChecker::alertChanged, this, [&] {
            if (checker->stage() == AppUpdateChecker::Downloading)
                progress.append(checker->alertMessage());
        });
        checker->chooseButton(0);
        QCOMPARE(checker->stage(), AppUpdateChecker::Downloading);
        QVERIFY(checker->alertButtons().isEmpty());

        QTRY_COMPARE(checker->stage(), AppUpdateChecker::Downloaded);
        QCOMPARE(progress.first(), QStringLiteral("0%"));
        QCOMPARE(progress.last(), QStringLiteral("100%"));
        QVERIFY(expected.startsWith(m_cache.path() + QLatin1Char('/')));
        QCOMPARE(m_handedOver, QStringList{expected});
        QVERIFY(checker->alertMessage().contains(expected));
        QCOMPARE(fileBytes(expected), package);
        // Only the package is left behind, in a folder of the user's own: the partial download file
        // was renamed, not copied, and nothing went through the shared temporary folder.
        const QFileInfo folder(QFileInfo(expected).absolutePath());
        QVERIFY(!(folder.permissions() & (QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
                                          | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther)));
        QCOMPARE(QDir(folder.filePath()).entryList(QDir::Files), QStringList{QStringLiteral("Zephlin-1.10.0.ipa")});
        QVERIFY(QDir(QDir::tempPath()).isEmpty());
        checker->chooseButton(0);
        QCOMPARE(checker->stage(), AppUpdateChecker::Idle);
    }

    // A download ends in the package or in the error alert saying why: an error page is
    // no package, nor is one that does not match the listed SHA-256 or would come over plain http
    // (the update server's own scheme is https); a server that stops answering fails after the
    // request timeout.
    void downloadOutcomes_data()
    {
        QTest::addColumn<QString>("url"); // %1: this server over https, %2: over http
        QTest::addColumn<QByteArray>("sha256");
        QTest::addColumn<QString>("message"); // empty when the package is accepted
        const QByteArray good = QCryptographicHash::hash("signed package", QCryptographicHash::Sha256).toHex();
        const auto row = [](const char *name, const char *url, const QByteArray &sha256, const char *message) {
            QTest::newRow(name) << QString::fromLatin1(url) << sha256 << QString::fromUtf8(message);
        };
        row("matching hash", "%1/signed.ipa", good, "");
        row("matching hash in capitals", "%1/signed.ipa", good.toUpper(), "");
        row("other hash", "%1/signed.ipa", QCryptographicHash::hash("other", QCryptographicHash::Sha256).toHex(),
            "下载失败: 安装包校验失败，文件可能已损坏或被篡改");
        row("plain http", "%2/signed.ipa", {}, "下载失败: 安装包地址不安全，仅支持 https");
        row("not found", "%1/gone.ipa", {}, "下载失败: HTTP错误 404");
        row("stalls", "%1/stalls.ipa", {}, "下载失败: 请求超时");
    }
    void downloadOutcomes()
    {
        QFETCH(QString, url);
        QFETCH(QByteArray, sha256);
        QFETCH(QString, message);
        m_server.setResponse(QStringLiteral("/signed.ipa"), {200, "application/octet-stream", "signed package"});
        auto checker = makeChecker();
        checker->setRequestTimeout(std::chrono::milliseconds(300));
        QString http = m_server.baseURL();
        http.replace(QStringLiteral("https:"), QStringLiteral("http:"));
        url.replace(QStringLiteral("%1"), m_server.baseURL()).replace(QStringLiteral("%2"), http);
        const QString destination = PackageDownload::destinationFor(QStringLiteral("6.0"));
        QFile::remove(destination); // what an earlier row left
        offer(*checker, QStringLiteral("6.0"), url, sha256);
        const int requests = m_server.totalRequests();
        m_server.setHolding(url.endsWith(QLatin1String("stalls.ipa")));
        checker->chooseButton(0);
        if (message.isEmpty()) {
            QTRY_COMPARE(checker->stage(), AppUpdateChecker::Downloaded);
            QCOMPARE(fileBytes(destination), QByteArray("signed package"));
            return;
        }
        QTRY_COMPARE(checker->stage(), AppUpdateChecker::DownloadFailed);
        QCOMPARE(checker->alertTitle(), QStringLiteral("错误"));
        QCOMPARE(checker->alertMessage(), message);
        QCOMPARE(checker->alertButtons(), QStringList{QStringLiteral("确定")});
        QVERIFY(!QFile::exists(destination));
        QVERIFY(m_handedOver.isEmpty());
        if (url.startsWith(QLatin1String("http:")))
            QCOMPARE(m_server.totalRequests(), requests); // never fetched
    }

    // An update or package address that is no URL: the alert closes, nothing is fetched.
    void unparsableAddressesShowNothing()
    {
        AppUpdateChecker broken(QStringLiteral("https://bad host"), QStringLiteral("1.0"), &m_network);
        broken.checkAndPrompt();
        QCOMPARE(broken.stage(), AppUpdateChecker::Idle);
        auto checker = makeChecker();
        offer(*checker, QStringLiteral("5.1"), QStringLiteral("https://bad host/p.ipa"));
        const int requests = m_server.totalRequests();
        checker->chooseButton(0);
        QCOMPARE(checker->stage(), AppUpdateChecker::Idle);
        QCOMPARE(m_server.totalRequests(), requests);
    }

    void packageNameStaysInItsFolder()
    {
        const QString temp = QFileInfo(PackageDownload::destinationFor(QStringLiteral("1.4.2"))).absolutePath();
        const QString hostile = PackageDownload::destinationFor(QStringLiteral("../../etc/x"));
        QCOMPARE(QFileInfo(hostile).absolutePath(), temp);
        QVERIFY(QFileInfo(hostile).fileName().startsWith(QStringLiteral("Zephlin-")));
        QCOMPARE(QFileInfo(PackageDownload::destinationFor(QStringLiteral("a\\b"))).absolutePath(), temp);
    }
};

QTEST_MAIN(UpdateCheckerTest)
#include "tst_updatechecker.moc"
