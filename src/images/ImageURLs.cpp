#include "ImageURLs.h"

#include "ServerConfig.h"

#include <QUrl>

bool parsesAsURL(const QString &text)
{
    return !text.isEmpty() && QUrl(text, QUrl::StrictMode).isValid();
}

std::optional<QString> resolveAvatarURL(const std::optional<QString> &avatar)
{
    if (!avatar || avatar->isEmpty())
        return std::nullopt;
    QString url;
    if (avatar->startsWith(QStringLiteral("http://")) || avatar->startsWith(QStringLiteral("https://"))) {
        url = *avatar;
    } else {
        QString base = ServerConfig::baseURL();
        if (base.endsWith(QLatin1Char('/')))
            base.chop(1);
        url = base + (avatar->startsWith(QLatin1Char('/')) ? *avatar : QLatin1Char('/') + *avatar);
    }
    if (!parsesAsURL(url))
        return std::nullopt;
    return url;
}
