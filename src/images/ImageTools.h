#pragma once
// The image rules the QML components need, as one singleton.
#include <QObject>
#include <QString>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

class ImageTools : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    explicit ImageTools(QObject *parent = nullptr);

    // The avatar's URL, or "" when there is none (missing, empty or unparsable).
    Q_INVOKABLE QString resolveAvatarURL(const QVariant &avatar) const;
    Q_INVOKABLE bool parsesAsURL(const QString &text) const;
    // The first user-perceived character: a Chinese character, an emoji sequence or a letter with
    // its marks counts as one. "" for an empty name.
    Q_INVOKABLE static QString firstCharacter(const QString &name);
};
