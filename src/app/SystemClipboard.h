#pragma once
// The system clipboard for screens: copying a message's text or a file's path.
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

class SystemClipboard : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    using QObject::QObject;

    Q_INVOKABLE static void setText(const QString &text);
    Q_INVOKABLE static QString text();
};
