#pragma once
// REST endpoints of accounts: /api/login, /api/register, /api/logout, /api/me, /api/change-username
// and /api/change-password.
#include "live/ChatContext.h"

#include <QHttpServerResponse>

class FriendCommands;
class QHttpServer;
class QHttpServerRequest;
struct StoredUser;

class AccountApi
{
public:
    AccountApi(ChatContext &context, FriendCommands &friends) : m_context(context), m_friends(friends) {}
    void registerRoutes(QHttpServer &server);

private:
    QHttpServerResponse login(const QHttpServerRequest &request);
    QHttpServerResponse registerUser(const QHttpServerRequest &request);
    QHttpServerResponse logout(const QHttpServerRequest &request);
    QHttpServerResponse me(const QHttpServerRequest &request);
    QHttpServerResponse changeUsername(const QHttpServerRequest &request);
    QHttpServerResponse changePassword(const QHttpServerRequest &request);

    ChatContext &m_context;
    FriendCommands &m_friends;
};
