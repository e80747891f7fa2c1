#include "NetworkMonitor.h"

#include "AppLogger.h"

namespace {

const QString disconnectedLabel = QStringLiteral("断开");

} // namespace

NetworkMonitor &NetworkMonitor::shared()
{
    static auto *instance = new NetworkMonitor;
    return *instance;
}

QString NetworkMonitor::label(bool satisfied, QNetworkInformation::TransportMedium medium)
{
    if (!satisfied)
        return disconnectedLabel;
    switch (medium) {
    case QNetworkInformation::TransportMedium::WiFi:
        return QStringLiteral("WiFi");
    case QNetworkInformation::TransportMedium::Cellular:
        return QStringLiteral("蜂窝");
    case QNetworkInformation::TransportMedium::Ethernet:
        return QStringLiteral("有线");
    default:
        return QStringLiteral("已连接");
    }
}

std::optional<QString> NetworkMonitor::logLineFor(const QString &lastStatus, const QString &label)
{
    if (label == disconnectedLabel) {
        if (lastStatus == disconnectedLabel)
            return std::nullopt;
        return QStringLiteral("[Network] disconnected");
    }
    if (lastStatus.isEmpty())
        return QStringLiteral("[Network] initial status: ") + label;
    if (lastStatus != label)
        return QStringLiteral("[Network] connected via ") + label;
    return std::nullopt;
}

void NetworkMonitor::start()
{
    if (m_isStarted)
        return;
    m_isStarted = true;
    if (!QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability)) {
        AppLogger::shared().log(QStringLiteral("[Network] no reachability backend available; not monitoring"));
        return;
    }
    QNetworkInformation *information = QNetworkInformation::instance();
    // Updates arrive on the main thread, one at a time, so the last status needs no lock.
    QObject::connect(information, &QNetworkInformation::reachabilityChanged, this, &NetworkMonitor::update);
    QObject::connect(information, &QNetworkInformation::transportMediumChanged, this, &NetworkMonitor::update);
    update();
}

void NetworkMonitor::update()
{
    const QNetworkInformation *information = QNetworkInformation::instance();
    const QNetworkInformation::Reachability reachability = information->reachability();
    // Before the backend knows anything there is no path to report.
    if (reachability == QNetworkInformation::Reachability::Unknown)
        return;
    const bool satisfied = reachability != QNetworkInformation::Reachability::Disconnected;
    const QString current = label(satisfied, information->transportMedium());
    if (const std::optional<QString> line = logLineFor(m_lastStatus, current))
        AppLogger::shared().log(*line);
    m_lastStatus = current;
}
