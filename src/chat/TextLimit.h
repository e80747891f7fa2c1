#pragma once
// Length limits on typed text, counted as people count characters: a field over its limit keeps
// its first characters (typed or pasted alike). QML: TextLimit.
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

class TextLimit : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    // Group names: creating and renaming.
    Q_PROPERTY(int groupName READ groupName CONSTANT)

public:
    static constexpr int groupNameLimit = 20;

    explicit TextLimit(QObject *parent = nullptr) : QObject(parent) {}
    int groupName() const { return groupNameLimit; }

    // The text itself when within the limit, else its first `limit` characters.
    Q_INVOKABLE static QString clip(const QString &text, int limit);
};
