// The update checker against a local HTTPS update server: the silent check's daily throttle, the
// interactive sequence of alerts, and the package download.
#include "AppUpdateChecker.h"
#include "DevCertificates.h"
#include "LocalHttpsServer.h"
#include "PackageDownload.h"
#include "TlsTrust.h"

#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString versionPath = QStringLiteral("/downloads/zephlin/version.json");

LocalHttpsServer::Response json(const QByteArray &body)
{
    return {200, "application/json", body};
}

} // namespace

class UpdateCheckerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void silentCheckRunsOncePerDay();
    void silentCheckReportsOnlyNewerVersions();
    void promptOffersNewerVersion();
    void promptWithoutNotes();
    void promptUpToDate();
    void promptUpToDateWithoutBuildVersion();
    void promptFailures_data();
    void promptFailures();
    void promptTransportFailure();
    void laterClosesTheAlert();
    void downloadSavesAndHandsOverPackage();
    void downloadReplacesEarlierPackage();
    void downloadErrorPageIsAFailure();
    void downloadTransportFailure();
    void packageNameStaysInTemporaryFolder();

private:
    std::unique_ptr<AppUpdateChecker> makeChecker(std::optional<QString> version = QStringLiteral("1.9.3"));
    void offer(AppUpdateChecker &checker, const QByteArray &versionFile);

    LocalHttpsServer m_server;
    QNetworkAccessManager m_network;
    QTemporaryDir m_temp;
    QDateTime m_now;
    QStringList m_handedOver;
};

void UpdateCheckerTest::initTestCase()
{
    Result<DevCertificates> certificates = DevCertificates::generate();
    QVERIFY2(certificates.ok(), qPrintable(certificates.error()));
    TlsTrust::addCaCertificates({certificates->caCertificate});
    QVERIFY(m_server.start(certificates.value()));
    QVERIFY(m_temp.isValid());
    qputenv("TMPDIR", QFile::encodeName(m_temp.path())); // packages land here, not in the real /tmp
    QCOMPARE(QDir::tempPath(), QDir(m_temp.path()).canonicalPath());
}

void UpdateCheckerTest::init()
{
    m_now = QDateTime(QDate(2026, 9, 13), QTime(8, 0), Qt::UTC);
    m_handedOver.clear();
}

std::unique_ptr<AppUpdateChecker> UpdateCheckerTest::makeChecker(std::optional<QString> version)
{
    auto checker = std::make_unique<AppUpdateChecker>(m_server.baseURL(), version, &m_network);
    checker->setClock([this] { return m_now; });
    checker->setFileHandOff([this](const QString &path) { m_handedOver.append(path); });
    return checker;
}

// Runs the interactive check up to the "new version" alert.
void UpdateCheckerTest::offer(AppUpdateChecker &checker, const QByteArray &versionFile)
{
    m_server.setResponse(versionPath, json(versionFile));
    checker.checkAndPrompt();
    QTRY_COMPARE(checker.stage(), AppUpdateChecker::UpdateAvailable);
}

void UpdateCheckerTest::silentCheckRunsOncePerDay()
{
    m_server.setResponse(versionPath, json(R"({"version":"1.10.0","url":"https://h/p.ipa"})"));
    auto checker = makeChecker();
    QCOMPARE(checker->versionURL(), m_server.url(versionPath));
    const int before = m_server.requestCount(versionPath);
    int calls = 0;
    checker->checkSilently(this, [&](const std::optional<AppUpdateInfo> &info) {
        ++calls;
        QVERIFY(info);
    });
    QTRY_COMPARE(calls, 1);

    m_now = m_now.addSecs(86399); // still within the day: no fetch, no call
    checker->checkSilently(this, [&](const std::optional<AppUpdateInfo> &) { ++calls; });
    QCOMPARE(m_server.requestCount(versionPath), before + 1);

    m_now = m_now.addSecs(1);
    checker->checkSilently(this, [&](const std::optional<AppUpdateInfo> &) { ++calls; });
    QTRY_COMPARE(calls, 2);
    QCOMPARE(m_server.requestCount(versionPath), before + 2);
    QCOMPARE(checker->stage(), AppUpdateChecker::Idle); // the silent check shows nothing
}

void UpdateCheckerTest::silentCheckReportsOnlyNewerVersions()
{
    m_server.setResponse(versionPath, json(R"({"version":"1.9.3","url":"https://h/p.ipa"})"));
    auto checker = makeChecker();
    bool called = false;
    std::optional<AppUpdateInfo> received{AppUpdateInfo{}};
    checker->checkSilently(this, [&](const std::optional<AppUpdateInfo> &info) {
        called = true;
        received = info;
    });
    QTRY_VERIFY(called);
    QVERIFY(!received);
}

void UpdateCheckerTest::promptOffersNewerVersion()
{
    auto checker = makeChecker();
    m_server.setResponse(versionPath, json(R"({"version":"1.10.0","url":"https://h/p.ipa","notes":"修复若干问题"})"));
    QSignalSpy changes(checker.get(), &AppUpdateChecker::alertChanged);
    checker->checkAndPrompt();
    QCOMPARE(checker->stage(), AppUpdateChecker::Checking);
    QCOMPARE(checker->alertTitle(), QStringLiteral("检查更新"));
    QCOMPARE(checker->alertMessage(), QStringLiteral("正在检查..."));
    QVERIFY(checker->alertButtons().isEmpty());
    QVERIFY(checker->alertVisible());

    QTRY_COMPARE(checker->stage(), AppUpdateChecker::UpdateAvailable);
    QCOMPARE(checker->alertTitle(), QStringLiteral("发现新版本 1.10.0"));
    QCOMPARE(checker->alertMessage(), QStringLiteral("修复若干问题"));
    QCOMPARE(checker->alertButtons(), (QStringList{QStringLiteral("下载更新"), QStringLiteral("稍后再说")}));
    QCOMPARE(changes.count(), 2);
}

void UpdateCheckerTest::promptWithoutNotes()
{
    auto checker = makeChecker();
    offer(*checker, R"({"version":"2.0","url":"https://h/p.ipa"})");
    QCOMPARE(checker->alertMessage(), QStringLiteral("点击下载更新"));
}

void UpdateCheckerTest::promptUpToDate()
{
    auto checker = makeChecker();
    m_server.setResponse(versionPath, json(R"({"version":"1.9.3","url":"https://h/p.ipa"})"));
    checker->checkAndPrompt();
    QTRY_COMPARE(checker->stage(), AppUpdateChecker::UpToDate);
    QCOMPARE(checker->alertTitle(), QStringLiteral("已是最新版本"));
    QCOMPARE(checker->alertMessage(), QStringLiteral("当前版本 1.9.3"));
    QCOMPARE(checker->alertButtons(), QStringList{QStringLiteral("确定")});
    checker->chooseButton(0);
    QCOMPARE(checker->stage(), AppUpdateChecker::Idle);
    QVERIFY(!checker->alertVisible());
}

void UpdateCheckerTest::promptUpToDateWithoutBuildVersion()
{
    auto checker = makeChecker(std::nullopt);
    m_server.setResponse(versionPath, json(R"({"version":"1.0.0","url":"https://h/p.ipa"})"));
    checker->checkAndPrompt();
    QTRY_COMPARE(checker->stage(), AppUpdateChecker::UpToDate);
    QCOMPARE(checker->alertMessage(), QStringLiteral("当前版本 "));
}

void UpdateCheckerTest::promptFailures_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("missing url") << 200 << QByteArray(R"({"version":"9.0"})");
    QTest::newRow("error page") << 502 << QByteArray("<html><body>Bad Gateway</body></html>");
    QTest::newRow("empty body") << 200 << QByteArray();
}

void UpdateCheckerTest::promptFailures()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    m_server.setResponse(versionPath, {status, "text/html", body});
    auto checker = makeChecker();
    checker->checkAndPrompt();
    QTRY_COMPARE(checker->stage(), AppUpdateChecker::CheckFailed);
    QCOMPARE(checker->alertTitle(), QStringLiteral("检查失败"));
    QCOMPARE(checker->alertMessage(), QStringLiteral("无法连接到更新服务器"));
    QCOMPARE(checker->alertButtons(), QStringList{QStringLiteral("确定")});
}

void UpdateCheckerTest::promptTransportFailure()
{
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    const quint16 port = closed.serverPort();
    closed.close();
    AppUpdateChecker checker(QStringLiteral("https://127.0.0.1:%1").arg(port), QStringLiteral("1.0"), &m_network);
    checker.checkAndPrompt();
    QTRY_COMPARE(checker.stage(), AppUpdateChecker::CheckFailed);
    QVERIFY(!checker.alertMessage().isEmpty());
    QVERIFY(checker.alertMessage() != QStringLiteral("无法连接到更新服务器"));

    // An update server address that is no URL at all shows nothing.
    AppUpdateChecker broken(QStringLiteral("https://bad host"), QStringLiteral("1.0"), &m_network);
    broken.checkAndPrompt();
    QCOMPARE(broken.stage(), AppUpdateChecker::Idle);
}

void UpdateCheckerTest::laterClosesTheAlert()
{
    auto checker = makeChecker();
    offer(*checker, R"({"version":"2.0","url":"https://h/p.ipa"})");
    const int requests = m_server.totalRequests();
    checker->chooseButton(1);
    QCOMPARE(checker->stage(), AppUpdateChecker::Idle);
    QCOMPARE(m_server.totalRequests(), requests);
}

void UpdateCheckerTest::downloadSavesAndHandsOverPackage()
{
    const QByteArray package(3 * 1024 * 1024, 'P');
    m_server.setResponse(QStringLiteral("/downloads/zephlin/Zephlin-1.10.0.ipa"), {200, "application/octet-stream", package});
    auto checker = makeChecker();
    offer(*checker, "{\"version\":\"1.10.0\",\"url\":\"" + m_server.url(QStringLiteral("/downloads/zephlin/Zephlin-1.10.0.ipa")).toUtf8() + "\"}");

    QStringList progress;
    connect(checker.get(), &AppUpdateChecker::alertChanged, this, [&] {
        if (checker->stage() == AppUpdateChecker::Downloading)
            progress.append(checker->alertMessage());
    });
    checker->chooseButton(0);
    QCOMPARE(checker->stage(), AppUpdateChecker::Downloading);
    QCOMPARE(checker->alertTitle(), QStringLiteral("下载中"));
    QCOMPARE(checker->alertMessage(), QStringLiteral("0%"));
    QVERIFY(checker->alertButtons().isEmpty());

    QTRY_COMPARE(checker->stage(), AppUpdateChecker::Downloaded);
    QCOMPARE(progress.first(), QStringLiteral("0%"));
    QCOMPARE(progress.last(), QStringLiteral("100%"));
    const QString expected = QDir::tempPath() + QStringLiteral("/Zephlin-1.10.0.ipa");
    QCOMPARE(m_handedOver, QStringList{expected});
    QVERIFY(checker->alertMessage().contains(expected));
    QFile saved(expected);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), package);
    // Only the package is left behind: the partial download file was renamed, not copied.
    QCOMPARE(QDir(QDir::tempPath()).entryList({QStringLiteral("Zephlin-*")}, QDir::Files),
             QStringList{QStringLiteral("Zephlin-1.10.0.ipa")});
    checker->chooseButton(0);
    QCOMPARE(checker->stage(), AppUpdateChecker::Idle);
}

void UpdateCheckerTest::downloadReplacesEarlierPackage()
{
    const QString path = PackageDownload::destinationFor(QStringLiteral("3.0"));
    QFile earlier(path);
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    earlier.write("the earlier, longer download of the same version");
    earlier.close();

    m_server.setResponse(QStringLiteral("/p3.ipa"), {200, "application/octet-stream", "new"});
    auto checker = makeChecker();
    offer(*checker, "{\"version\":\"3.0\",\"url\":\"" + m_server.url(QStringLiteral("/p3.ipa")).toUtf8() + "\"}");
    checker->chooseButton(0);
    QTRY_COMPARE(checker->stage(), AppUpdateChecker::Downloaded);
    QFile replaced(path);
    QVERIFY(replaced.open(QIODevice::ReadOnly));
    QCOMPARE(replaced.readAll(), QByteArray("new"));
}

void UpdateCheckerTest::downloadErrorPageIsAFailure()
{
    // The server answers 404 with an HTML page: that page must not be offered as the package.
    auto checker = makeChecker();
    offer(*checker, "{\"version\":\"4.0\",\"url\":\"" + m_server.url(QStringLiteral("/gone.ipa")).toUtf8() + "\"}");
    checker->chooseButton(0);
    QTRY_COMPARE(checker->stage(), AppUpdateChecker::DownloadFailed);
    QCOMPARE(checker->alertTitle(), QStringLiteral("错误"));
    QCOMPARE(checker->alertMessage(), QStringLiteral("下载失败: HTTP错误 404"));
    QCOMPARE(checker->alertButtons(), QStringList{QStringLiteral("确定")});
    QVERIFY(!QFile::exists(PackageDownload::destinationFor(QStringLiteral("4.0"))));
    QVERIFY(m_handedOver.isEmpty());

    m_server.setResponse(QStringLiteral("/broken.ipa"), {500, "text/html", "<html>boom</html>"});
    offer(*checker, "{\"version\":\"4.1\",\"url\":\"" + m_server.url(QStringLiteral("/broken.ipa")).toUtf8() + "\"}");
    checker->chooseButton(0);
    QTRY_COMPARE(checker->stage(), AppUpdateChecker::DownloadFailed);
    QCOMPARE(checker->alertMessage(), QStringLiteral("下载失败: HTTP错误 500"));
}

void UpdateCheckerTest::downloadTransportFailure()
{
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    const quint16 port = closed.serverPort();
    closed.close();
    auto checker = makeChecker();
    offer(*checker, "{\"version\":\"5.0\",\"url\":\"https://127.0.0.1:" + QByteArray::number(port) + "/p.ipa\"}");
    checker->chooseButton(0);
    QTRY_COMPARE(checker->stage(), AppUpdateChecker::DownloadFailed);
    QVERIFY(checker->alertMessage().startsWith(QStringLiteral("下载失败: ")));
    QVERIFY(checker->alertMessage().size() > QStringLiteral("下载失败: ").size());

    // A package address that is no URL: the alert closes, nothing is fetched.
    offer(*checker, R"({"version":"5.1","url":"https://bad host/p.ipa"})");
    checker->chooseButton(0);
    QCOMPARE(checker->stage(), AppUpdateChecker::Idle);
}

void UpdateCheckerTest::packageNameStaysInTemporaryFolder()
{
    const QString temp = QDir::tempPath();
    QCOMPARE(PackageDownload::destinationFor(QStringLiteral("1.4.2")), temp + QStringLiteral("/Zephlin-1.4.2.ipa"));
    const QString hostile = PackageDownload::destinationFor(QStringLiteral("../../etc/x"));
    QCOMPARE(QFileInfo(hostile).absolutePath(), temp);
    QVERIFY(QFileInfo(hostile).fileName().startsWith(QStringLiteral("Zephlin-")));
    QCOMPARE(QFileInfo(PackageDownload::destinationFor(QStringLiteral("a\\b"))).absolutePath(), temp);
}

QTEST_MAIN(UpdateCheckerTest)
#include "tst_updatechecker.moc"
