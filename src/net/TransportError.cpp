#include "TransportError.h"

#include "AppLogger.h"
#include "SecureLogger.h"

#include <QNetworkReply>
#include <QTimer>

namespace {
const char *timedOutProperty = "zephlinTimedOut";

QString textFor(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("无法连接到服务器");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("找不到服务器");
    case QNetworkReply::TimeoutError:
        return QStringLiteral("请求超时");
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("服务器证书无效");
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("连接已中断");
    case QNetworkReply::OperationCanceledError:
        return QStringLiteral("已取消");
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::ProxyAuthenticationRequiredError:
        return QStringLiteral("无法连接到代理服务器");
    case QNetworkReply::UnknownNetworkError: // how Qt reports an unreachable network
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::BackgroundRequestNotAllowedError:
        return QStringLiteral("网络不可用");
    case QNetworkReply::ProtocolUnknownError:
    case QNetworkReply::ProtocolInvalidOperationError:
    case QNetworkReply::ProtocolFailure:
        return QStringLiteral("无效响应");
    default:
        return QStringLiteral("网络错误");
    }
}
} // namespace

namespace TransportError {

bool failed(const QNetworkReply &reply)
{
    // Codes from 200 on derive from an HTTP status, which the callers' status rules handle.
    return reply.error() != QNetworkReply::NoError && reply.error() < QNetworkReply::ContentAccessDenied;
}

QString describe(const QNetworkReply &reply)
{
    const bool timedOut = reply.property(timedOutProperty).toBool();
    const QString original = timedOut ? QStringLiteral("no data for the request timeout") : reply.errorString();
    const QString line = reply.url().toDisplayString(QUrl::RemoveUserInfo | QUrl::RemoveQuery) + QStringLiteral(" failed: ")
                         + original;
    AppLogger::shared().log(QStringLiteral("HTTP ") + line);
    SecureLogger::shared().log(line, LogLevel::Info, QStringLiteral("Network"));
    return textFor(timedOut ? QNetworkReply::TimeoutError : reply.error());
}

void expireAfter(QNetworkReply *reply, std::chrono::milliseconds timeout)
{
    auto *timer = new QTimer(reply);
    timer->setSingleShot(true);
    timer->setInterval(timeout);
    const auto restart = [timer] { timer->start(); };
    QObject::connect(reply, &QNetworkReply::downloadProgress, timer, restart);
    QObject::connect(reply, &QNetworkReply::uploadProgress, timer, restart);
    QObject::connect(reply, &QNetworkReply::finished, timer, &QTimer::stop);
    QObject::connect(timer, &QTimer::timeout, reply, [reply] {
        reply->setProperty(timedOutProperty, true);
        reply->abort();
    });
    timer->start();
}

} // namespace TransportError
