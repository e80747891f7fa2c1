#include "ServerProcess.h"

#include "TestDatabase.h"
#include "TlsTrust.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QRegularExpression>
#include <QtDebug>

ServerProcess::ServerProcess(const QString &databaseUrl, OwnStore ownStore)
    : m_databaseUrl(!databaseUrl.isEmpty() || ownStore == OwnStore::SQLite ? databaseUrl : TestDatabase::urlFor(m_data.path()))
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

ServerProcess::~ServerProcess()
{
    stop();
}

QString ServerProcess::caFile() const
{
    return QDir(m_data.path()).filePath(QStringLiteral("tls/ca.pem"));
}

bool ServerProcess::seedDemo()
{
    return QProcess::execute(QStringLiteral(ZEPHLIN_SERVER_BINARY),
                             QStringList{QStringLiteral("seed-demo"), QStringLiteral("--data"), m_data.path()}
                                 + databaseArguments())
        == 0;
}

QStringList ServerProcess::databaseArguments() const
{
    return m_databaseUrl.isEmpty() ? QStringList() : QStringList{QStringLiteral("--database"), m_databaseUrl};
}

quint16 ServerProcess::port() const
{
    return quint16(QUrl(m_baseURL).port());
}

QUrl ServerProcess::socketURL() const
{
    QUrl url(m_baseURL + QStringLiteral("/ws"));
    url.setScheme(QStringLiteral("wss"));
    return url;
}

bool ServerProcess::start(const QStringList &extraArguments, quint16 port)
{
    m_process.start(QStringLiteral(ZEPHLIN_SERVER_BINARY),
                    QStringList{QStringLiteral("serve"), QStringLiteral("--listen"), QStringLiteral("127.0.0.1:%1").arg(port),
                                QStringLiteral("--data"), m_data.path(), QStringLiteral("--dev-tls")}
                        + databaseArguments() + extraArguments);
    const QRegularExpression listening(QStringLiteral("listening on (https://127\\.0\\.0\\.1:\\d+)"));
    QString output;
    const QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired() && m_process.state() != QProcess::NotRunning) {
        m_process.waitForReadyRead(100);
        output += QString::fromUtf8(m_process.readAllStandardOutput());
        const QRegularExpressionMatch match = listening.match(output);
        if (match.hasMatch()) {
            m_baseURL = match.captured(1);
            return TlsTrust::addCaFile(caFile()) > 0;
        }
    }
    qWarning() << "zephlin-server did not start:" << output;
    return false;
}

void ServerProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished();
}
