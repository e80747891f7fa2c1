#include "ExternalLinks.h"

#include <QDesktopServices>
#include <QUrl>

QString ExternalLinks::siblingSiteURL() const
{
    return QStringLiteral(ZEPHLIN_SIBLING_SITE_URL);
}

bool ExternalLinks::openSiblingSite() const
{
    const QUrl url(siblingSiteURL(), QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QStringLiteral("https"))
        return false;
    QDesktopServices::openUrl(url);
    return true;
}
