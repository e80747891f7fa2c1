#include "ChatClientProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QJsonDocument>
#include <QProcessEnvironment>
#include <QtDebug>

ChatClientProcess::ChatClientProcess(const QString &home) : m_home(home)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

ChatClientProcess::~ChatClientProcess()
{
    kill();
}

bool ChatClientProcess::start(const QString &serverURL, const QString &caFile)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
        const QString dir = QDir(m_home).filePath(QString::fromLatin1(name));
        QDir().mkpath(dir);
        env.insert(QString::fromLatin1(name), dir);
    }
    env.insert(QStringLiteral("ZEPHLIN_KEYCHAIN"), QStringLiteral("file"));
    m_process.setProcessEnvironment(env);
    m_buffer.clear();
    m_process.start(QStringLiteral(ZEPHLIN_E2E_CLIENT_BINARY), {serverURL, caFile});
    return m_process.waitForStarted(30000);
}

QJsonObject ChatClientProcess::command(const QJsonObject &command, int timeoutMs)
{
    m_process.write(QJsonDocument(command).toJson(QJsonDocument::Compact) + '\n');
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
        const qsizetype end = m_buffer.indexOf('\n');
        if (end >= 0) {
            const QByteArray line = m_buffer.left(end);
            m_buffer.remove(0, end + 1);
            // The client's console log shares its standard output; answers are the JSON lines.
            if (line.startsWith('{'))
                return QJsonDocument::fromJson(line).object();
            continue;
        }
        m_process.waitForReadyRead(100);
        m_buffer += m_process.readAllStandardOutput();
    }
    if (m_process.state() != QProcess::Running)
        qWarning() << "the client process ended:" << m_process.exitStatus() << m_process.exitCode();
    return {};
}

void ChatClientProcess::kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished();
}
