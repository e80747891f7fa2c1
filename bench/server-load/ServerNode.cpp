#include "ServerNode.h"

#include "TlsTrust.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QRegularExpression>
#include <cstdio>

ServerNode::ServerNode(const QString &databaseUrl) : m_databaseUrl(databaseUrl)
{
}

ServerNode::~ServerNode()
{
    m_process.kill();
    m_process.waitForFinished();
}

bool ServerNode::start(int clients)
{
    QStringList arguments{QStringLiteral("serve"), QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                          QStringLiteral("--data"), m_dir.path(), QStringLiteral("--dev-tls"), QStringLiteral("--limit"),
                          QStringLiteral("connectionsPerAddress=%1").arg(clients + 50)};
    if (!m_databaseUrl.isEmpty())
        arguments << QStringLiteral("--database") << m_databaseUrl;
    m_process.start(QStringLiteral(ZEPHLIN_SERVER_BINARY), arguments);
    const QRegularExpression listening(QStringLiteral("listening on https://127\\.0\\.0\\.1:(\\d+)"));
    QString output;
    const QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired() && m_process.state() != QProcess::NotRunning) {
        m_process.waitForReadyRead(200);
        output += QString::fromUtf8(m_process.readAllStandardOutput());
        const QRegularExpressionMatch match = listening.match(output);
        if (match.hasMatch()) {
            m_port = match.captured(1).toUShort();
            return TlsTrust::addCaFile(QDir(m_dir.path()).filePath(QStringLiteral("tls/ca.pem"))) > 0;
        }
    }
    std::fprintf(stderr, "the server did not start: %s\n", qPrintable(output + QString::fromUtf8(m_process.readAllStandardError())));
    return false;
}

QUrl ServerNode::socketUrl() const
{
    return QUrl(QStringLiteral("wss://127.0.0.1:%1/ws").arg(m_port));
}

QUrl ServerNode::baseUrl() const
{
    return QUrl(QStringLiteral("https://127.0.0.1:%1/").arg(m_port));
}
