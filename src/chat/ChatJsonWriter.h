#pragma once
// Writes message lists straight to compact JSON text, byte for byte what encodeJson() produces
// (keys in the same sorted order, the same string escapes), without building QJsonObjects first.
// The hello snapshot and every live message save tens of thousands of messages; going through
// QJsonObject and QJsonDocument cost several times a plain parse of the same text.
#include "ChatMessage.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

class ChatJsonWriter
{
public:
    static QByteArray write(const QList<ChatMessage> &messages);
    static QByteArray write(const QHash<QString, QList<ChatMessage>> &rooms);

private:
    explicit ChatJsonWriter(qsizetype reserve) { m_out.reserve(reserve); }

    void messageList(const QList<ChatMessage> &messages);
    void message(const ChatMessage &message);
    void key(const char *name);
    void string(const QString &text);
    void optionalString(const char *name, const std::optional<QString> &value);
    void optionalBool(const char *name, const std::optional<bool> &value);

    QByteArray m_out;
};
