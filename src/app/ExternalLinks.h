#pragma once
// Links that leave the app for the system browser.
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

class ExternalLinks : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString siblingSiteURL READ siblingSiteURL CONSTANT)

public:
    using QObject::QObject;

    QString siblingSiteURL() const;
    // Opens the sibling site when its address parses; a failure to open is not reported.
    Q_INVOKABLE bool openSiblingSite() const;
};
