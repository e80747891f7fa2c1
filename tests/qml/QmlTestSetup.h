#pragma once
// Shared set-up of every Qt Quick Test runner: the project's QML modules are compiled into the
// runner as resources under qrc:/qt/qml, and each case starts from empty settings.
#include "SettingsStore.h"

#include <QObject>
#include <QQmlEngine>
#include <QTemporaryDir>
#include <QtQuickTest/quicktest.h>

class QmlTestSetup : public QObject
{
    Q_OBJECT

public Q_SLOTS:
    void applicationAvailable() { SettingsStore::shared().setLocation(m_settings.path()); }
    void qmlEngineAvailable(QQmlEngine *engine) { engine->addImportPath(QStringLiteral("qrc:/qt/qml")); }

private:
    QTemporaryDir m_settings;
};
