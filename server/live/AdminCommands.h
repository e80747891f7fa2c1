#pragma once
// Site administration: online limit, hall name, clearing the hall, bans and the announcement. Only
// users whose role is "admin" (checked against the database on every command) may run them.
#include "live/ChatContext.h"

class AdminCommands
{
public:
    explicit AdminCommands(ChatContext &context) : m_context(context) {}
    void registerWith(CommandTable &table);

private:
    // Wraps a handler so that it runs for administrators only.
    CommandHandler adminOnly(void (AdminCommands::*handler)(ChatClient &, const QJsonObject &));
    void setMaxOnline(ChatClient &client, const QJsonObject &frame);
    void renameHall(ChatClient &client, const QJsonObject &frame);
    void clearHall(ChatClient &client, const QJsonObject &frame);
    void ban(ChatClient &client, const QJsonObject &frame);
    void unban(ChatClient &client, const QJsonObject &frame);
    void announce(ChatClient &client, const QJsonObject &frame);

    ChatContext &m_context;
};
