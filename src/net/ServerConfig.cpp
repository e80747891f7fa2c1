#include "ServerConfig.h"

#include "SettingsStore.h"

namespace ServerConfig {

QString defaultBaseURL()
{
    return QStringLiteral(ZEPHLIN_DEFAULT_SERVER_URL);
}

QString baseURL()
{
    return SettingsStore::shared().string(QLatin1String(settingsKey)).value_or(defaultBaseURL());
}

std::optional<QUrl> url(const QString &path)
{
    const QUrl parsed(baseURL() + path, QUrl::StrictMode);
    if (!parsed.isValid())
        return std::nullopt;
    return parsed;
}

QString wsURL()
{
    const QString base = baseURL();
    const QString https = QStringLiteral("https://");
    const QString http = QStringLiteral("http://");
    QString rest = base;
    if (base.startsWith(https))
        rest = base.mid(https.size());
    else if (base.startsWith(http))
        rest = base.mid(http.size());
    return QStringLiteral("wss://") + rest + QStringLiteral("/ws");
}

QString resolveImageURL(const QString &image)
{
    if (image.startsWith(QStringLiteral("http")))
        return image;
    return baseURL() + image;
}

QString derivedWSURL(const QString &baseText)
{
    const QString https = QStringLiteral("https://");
    const QString http = QStringLiteral("http://");
    if (baseText.startsWith(https))
        return QStringLiteral("wss://") + baseText.mid(https.size()) + QStringLiteral("/ws");
    if (baseText.startsWith(http))
        return QStringLiteral("ws://") + baseText.mid(http.size()) + QStringLiteral("/ws");
    return QStringLiteral("ws://") + baseText + QStringLiteral("/ws");
}

} // namespace ServerConfig
