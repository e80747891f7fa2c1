#include "ImageTools.h"

#include "ImageURLs.h"

#include <QTextBoundaryFinder>

ImageTools::ImageTools(QObject *parent) : QObject(parent) {}

QString ImageTools::resolveAvatarURL(const QVariant &avatar) const
{
    std::optional<QString> text;
    if (avatar.isValid() && !avatar.isNull())
        text = avatar.toString();
    return ::resolveAvatarURL(text).value_or(QString());
}

bool ImageTools::parsesAsURL(const QString &text) const
{
    return ::parsesAsURL(text);
}

QString ImageTools::firstCharacter(const QString &name)
{
    if (name.isEmpty())
        return {};
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, name);
    const qsizetype end = graphemes.toNextBoundary();
    return name.left(end > 0 ? end : name.size());
}
