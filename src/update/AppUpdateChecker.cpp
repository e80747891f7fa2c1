#include "AppUpdateChecker.h"

#include "APIService.h"
#include "NetworkSession.h"
#include "PackageDownload.h"
#include "TransportError.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJSEngine>
#include <QNetworkReply>
#include <QUrl>

namespace {

// The desktop's share sheet: show the package in the file manager and put its path on the clipboard.
void revealPackage(const QString &path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        QGuiApplication::clipboard()->setText(path);
}

std::optional<QUrl> parsedURL(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    if (text.isEmpty() || !url.isValid())
        return std::nullopt;
    return url;
}

const QString okButton = QStringLiteral("确定");

} // namespace

AppUpdateChecker &AppUpdateChecker::shared()
{
    static AppUpdateChecker *instance = [] {
        const QString version = QStringLiteral(ZEPHLIN_APP_VERSION);
        return new AppUpdateChecker(QStringLiteral(ZEPHLIN_UPDATE_BASE_URL),
                                    version.isEmpty() ? std::nullopt : std::optional<QString>(version));
    }();
    return *instance;
}

AppUpdateChecker *AppUpdateChecker::create(QQmlEngine *, QJSEngine *)
{
    AppUpdateChecker *checker = &shared();
    QJSEngine::setObjectOwnership(checker, QJSEngine::CppOwnership);
    return checker;
}

AppUpdateChecker::AppUpdateChecker(const QString &updateBaseURL, std::optional<QString> currentVersion,
                                   QNetworkAccessManager *network, QObject *parent)
    : QObject(parent),
      m_versionURL(updateBaseURL + versionPath()),
      m_currentVersion(std::move(currentVersion)),
      m_network(network),
      m_timeout(APIService::defaultTimeout),
      m_clock([] { return QDateTime::currentDateTimeUtc(); }),
      m_handOff(revealPackage)
{
}

AppUpdateChecker::~AppUpdateChecker() = default;

void AppUpdateChecker::checkSilently(QObject *context, Completion completion)
{
    const QDateTime now = m_clock();
    if (m_lastCheckDate && m_lastCheckDate->secsTo(now) < silentCheckIntervalSeconds)
        return;
    m_lastCheckDate = now;
    QPointer<QObject> target(context);
    fetchVersionFile([this, target, completion](const std::optional<AppUpdateInfo> &info, const QString &) {
        if (!target)
            return;
        completion(info && isNewerThanCurrent(*info) ? info : std::nullopt);
    });
}

void AppUpdateChecker::checkAndPrompt()
{
    if (!parsedURL(m_versionURL) || m_stage == Checking || m_stage == Downloading)
        return;
    present(Checking, QStringLiteral("检查更新"), QStringLiteral("正在检查..."));
    fetchVersionFile([this](const std::optional<AppUpdateInfo> &info, const QString &transportError) {
        if (info && isNewerThanCurrent(*info))
            showUpdateAlert(*info);
        else if (info)
            present(UpToDate, QStringLiteral("已是最新版本"),
                    QStringLiteral("当前版本 ") + m_currentVersion.value_or(QString()), {okButton});
        else
            present(CheckFailed, QStringLiteral("检查失败"),
                    transportError.isEmpty() ? QStringLiteral("无法连接到更新服务器") : transportError, {okButton});
    });
}

void AppUpdateChecker::chooseButton(int index)
{
    if (m_stage == UpdateAvailable && index == 0 && m_offered)
        return startDownload(*m_offered);
    if (index >= 0 && index < m_buttons.size())
        present(Idle, QString(), QString());
}

void AppUpdateChecker::fetchVersionFile(
    std::function<void(const std::optional<AppUpdateInfo> &, const QString &transportError)> done)
{
    const std::optional<QUrl> url = parsedURL(m_versionURL);
    if (!url)
        return;
    QNetworkReply *reply = network().get(QNetworkRequest(*url));
    TransportError::expireAfter(reply, m_timeout);
    connect(reply, &QNetworkReply::finished, this, [reply, done] {
        reply->deleteLater();
        // An answer of any status is read as a version file; an error page simply fails to decode.
        const bool answered = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
        if (TransportError::failed(*reply) && !answered)
            return done(std::nullopt, TransportError::describe(*reply));
        Result<AppUpdateInfo> info = decodeJson<AppUpdateInfo>(reply->readAll());
        done(info ? std::optional<AppUpdateInfo>(info.value()) : std::nullopt, QString());
    });
}

void AppUpdateChecker::present(Stage stage, const QString &title, const QString &message, const QStringList &buttons)
{
    m_stage = stage;
    m_title = title;
    m_message = message;
    m_buttons = buttons;
    Q_EMIT alertChanged();
}

void AppUpdateChecker::showUpdateAlert(const AppUpdateInfo &info)
{
    m_offered = info;
    present(UpdateAvailable, QStringLiteral("发现新版本 ") + info.version,
            info.notes.value_or(QStringLiteral("点击下载更新")),
            {QStringLiteral("下载更新"), QStringLiteral("稍后再说")});
}

void AppUpdateChecker::startDownload(const AppUpdateInfo &info)
{
    const std::optional<QUrl> url = parsedURL(info.url);
    if (!url)
        return present(Idle, QString(), QString());
    // A package over plain HTTP could be swapped on the way: only https, or whatever the update
    // server itself is reached by (a self-hosted one on a private network), is fetched.
    if (url->scheme() != QLatin1String("https") && url->scheme() != QUrl(m_versionURL).scheme())
        return showError(QStringLiteral("下载失败: 安装包地址不安全，仅支持 https"));
    present(Downloading, QStringLiteral("下载中"), QStringLiteral("0%"));
    m_download = new PackageDownload(network(), *url, PackageDownload::destinationFor(info.version),
                                     info.sha256.value_or(QString()), m_timeout, this);
    // The percentage follows the download: a frozen "0%" on a large package looks like a hang.
    connect(m_download, &PackageDownload::progressChanged, this, [this](int percent) {
        present(Downloading, m_title, QString::number(percent) + QLatin1Char('%'));
    });
    connect(m_download, &PackageDownload::finished, this, [this](const QString &path, const QString &error) {
        m_download->deleteLater();
        if (!error.isEmpty())
            return showError(error);
        m_handOff(path);
        present(Downloaded, QStringLiteral("下载完成"),
                QStringLiteral("安装包已保存到 %1，文件夹已打开，路径已复制到剪贴板").arg(path), {okButton});
    });
}

void AppUpdateChecker::showError(const QString &message)
{
    present(DownloadFailed, QStringLiteral("错误"), message, {okButton});
}

QNetworkAccessManager &AppUpdateChecker::network() const
{
    return m_network ? *m_network : NetworkSession::shared();
}
