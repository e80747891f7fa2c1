#include "AdminConsole.h"

#include "Commands.h"
#include "WebSocketService.h"

#include <QRegularExpression>

AdminConsole::AdminConsole(QObject *parent)
    : QObject(parent), m_send([](const QJsonObject &command) { WebSocketService::shared().send(command); })
{
}

std::optional<int> AdminConsole::parseLimit(const QString &text)
{
    // QString::toInt would also accept surrounding white space.
    static const QRegularExpression decimal(QStringLiteral("^[+-]?[0-9]+$"));
    if (!decimal.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? std::optional<int>(value) : std::nullopt;
}

void AdminConsole::setLimit()
{
    const std::optional<int> limit = parseLimit(m_maxOnline);
    if (!limit)
        return;
    m_send(Commands::setMaxOnline(*limit));
    Q_EMIT toast(QStringLiteral("已设置"));
}

void AdminConsole::renameHall()
{
    if (m_hallName.isEmpty())
        return;
    m_send(Commands::renameHall(m_hallName));
    Q_EMIT toast(QStringLiteral("已改名"));
}

void AdminConsole::clearHall()
{
    m_send(Commands::clearHall());
    Q_EMIT toast(QStringLiteral("已清空"));
}

void AdminConsole::ban()
{
    if (m_banUsername.isEmpty())
        return;
    m_send(Commands::banUser(m_banUsername));
    clearField(m_banUsername);
}

void AdminConsole::unban()
{
    if (m_unbanUsername.isEmpty())
        return;
    m_send(Commands::unbanUser(m_unbanUsername));
    clearField(m_unbanUsername);
}

void AdminConsole::announce()
{
    if (m_announceText.isEmpty())
        return;
    m_send(Commands::announce(m_announceText));
    clearField(m_announceText);
    Q_EMIT toast(QStringLiteral("已发布"));
}

void AdminConsole::clearField(QString &field)
{
    field.clear();
    Q_EMIT fieldsChanged();
}
