#include "AppLogger.h"

#include <QCoreApplication>
#include <QThread>
#include <QTime>
#include <cstdio>

AppLogger &AppLogger::shared()
{
    static AppLogger *logger = new AppLogger; // lives as long as the process
    return *logger;
}

AppLogger::AppLogger()
{
    if (QCoreApplication *app = QCoreApplication::instance())
        moveToThread(app->thread());
}

void AppLogger::log(const QString &message)
{
    // Medium time style of the app's Chinese locale: 24-hour clock with seconds, no date.
    const QString line = QLatin1Char('[') + QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))
                         + QStringLiteral("] ") + message;
    const QByteArray utf8 = line.toUtf8();
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);

    if (QThread::currentThread() == thread())
        remember(line);
    else
        QMetaObject::invokeMethod(this, [this, line] { remember(line); }, Qt::QueuedConnection);
}

void AppLogger::remember(const QString &line)
{
    m_logs.prepend(line);
    if (m_logs.size() > maxLogs)
        m_logs.resize(maxLogs);
    Q_EMIT logsChanged();
}
