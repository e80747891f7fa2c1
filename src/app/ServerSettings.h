#pragma once
// What the server settings screen reads and writes: the stored base URL, verbatim.
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

class ServerSettings : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString defaultURL READ defaultURL CONSTANT)

public:
    using QObject::QObject;

    QString defaultURL() const;
    // The stored address, or the default when none is stored.
    Q_INVOKABLE QString storedURL() const;
    // The preview line's address for the text being edited.
    Q_INVOKABLE QString derivedWSURL(const QString &text) const;
    // Stores the text exactly as typed, then posts "serverConfigChanged".
    Q_INVOKABLE void save(const QString &text);
};
