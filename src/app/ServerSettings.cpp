#include "ServerSettings.h"

#include "NotificationCenter.h"
#include "ServerConfig.h"
#include "SettingsStore.h"

QString ServerSettings::defaultURL() const
{
    return ServerConfig::defaultBaseURL();
}

QString ServerSettings::storedURL() const
{
    return ServerConfig::baseURL();
}

QString ServerSettings::derivedWSURL(const QString &text) const
{
    return ServerConfig::derivedWSURL(text);
}

void ServerSettings::save(const QString &text)
{
    SettingsStore::shared().setString(QLatin1String(ServerConfig::settingsKey), text);
    NotificationCenter::shared().post(QStringLiteral("serverConfigChanged"));
}
