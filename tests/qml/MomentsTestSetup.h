#pragma once
// Set-up of the moments screen tests: the local HTTPS server of the media tests (its images are the
// feed's) and the screen helpers, plus MomentsTestSupport to write picture files to pick.
#include "MediaTestSetup.h"
#include "ScreenTestSetup.h"

#include <QDir>
#include <QUrl>

class MomentsTestSupport : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    Q_INVOKABLE QUrl pictureFile()
    {
        const QString path = m_dir.filePath(QStringLiteral("picture.png"));
        if (!QFile::exists(path)) {
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly) || file.write(MediaTestSupport::png(Qt::green, 30, 30)) <= 0)
                return {};
        }
        return QUrl::fromLocalFile(path);
    }

private:
    QTemporaryDir m_dir;
};

class MomentsTestSetup : public MediaTestSetup
{
    Q_OBJECT

public Q_SLOTS:
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        MediaTestSetup::qmlEngineAvailable(engine);
        qmlRegisterSingletonInstance("ZephlinTest", 1, 0, "TestSupport", &m_screens);
        qmlRegisterSingletonInstance("ZephlinTest", 1, 0, "MomentsTestSupport", &m_moments);
    }

private:
    TestSupport m_screens;
    MomentsTestSupport m_moments;
};
