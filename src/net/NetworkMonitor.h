#pragma once
// Writes one console line whenever the kind of connectivity changes. It feeds nothing else: the
// WebSocket notices drops on its own. Where no reachability backend loads (headless machines) it
// says so once and does nothing more.
#include <QNetworkInformation>
#include <QObject>
#include <QString>
#include <optional>

class NetworkMonitor : public QObject
{
    Q_OBJECT

public:
    static NetworkMonitor &shared();

    // Begins monitoring; a second call does nothing.
    void start();
    bool isStarted() const { return m_isStarted; }

    // "WiFi", "蜂窝", "有线", "已连接" for a usable path by its medium; "断开" for none.
    static QString label(bool satisfied, QNetworkInformation::TransportMedium medium);
    // The line an update logs given the previous label ("" before the first update), if any.
    static std::optional<QString> logLineFor(const QString &lastStatus, const QString &label);

private:
    NetworkMonitor() = default;
    void update();

    bool m_isStarted = false;
    QString m_lastStatus;
};
