#pragma once
// Set-up shared by the tests that talk to a loopback TLS server: a test CA the process trusts,
// the stored server address, compact JSON literals and connection timings that keep a dropped
// client down for the length of a test.
#include "DevCertificates.h"
#include "SettingsStore.h"
#include "TlsTrust.h"
#include "WebSocketService.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>

namespace loopback {

using namespace std::chrono_literals;

// A freshly generated CA and server certificate, the CA trusted; nothing when generation fails.
inline std::optional<DevCertificates> trustedCertificates()
{
    Result<DevCertificates> certificates = DevCertificates::generate();
    if (!certificates.ok()) {
        qWarning() << certificates.error();
        return std::nullopt;
    }
    TlsTrust::addCaCertificates({certificates->caCertificate});
    return certificates.value();
}

inline void setServer(const QString &base)
{
    SettingsStore::shared().setString(QStringLiteral("zp_server_url"), base);
}

// An object written with single quotes for readability: json("{'type':'auth','token':'t'}").
inline QJsonObject json(const char *text)
{
    return QJsonDocument::fromJson(QByteArray(text).replace('\'', '"')).object();
}

inline QJsonObject parsed(const QString &text)
{
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

inline QString authFrame(const QString &token)
{
    return QStringLiteral(R"({"token":"%1","type":"auth"})").arg(token);
}

// A quick authentication; no watchdog and no scheduled reconnect within a test's lifetime.
inline WebSocketTiming staysDownTiming()
{
    WebSocketTiming timing;
    timing.authDelay = 20ms;
    timing.connectionCheckInterval = 600s;
    timing.reconnectStepSeconds = 600.0;
    timing.reconnectCapSeconds = 600.0;
    return timing;
}

} // namespace loopback
