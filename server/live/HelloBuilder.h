#pragma once
// The snapshot a user receives after each successful "auth": everything the client fills its chat
// state from, with bounded histories.
#include "live/ChatContext.h"
#include "HelloMessage.h"

struct StoredUser;

class HelloBuilder
{
public:
    explicit HelloBuilder(ChatContext &context) : m_context(context) {}

    HelloMessage build(const StoredUser &user);
    QJsonObject event(const StoredUser &user);

private:
    ChatContext &m_context;
};
