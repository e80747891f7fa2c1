#pragma once
// REST endpoints of accounts: /api/login, /api/register, /api/logout, /api/me, /api/change-username
// and /api/change-password. Those that hash or verify a password answer once the worker pool is done.
#include "live/ChatContext.h"
#include "rest/DeferredReply.h"

#include <QHttpServerResponse>

class FriendCommands;
class QHttpServer;
class QHttpServerRequest;
class WorkerPool;
struct StoredUser;

class AccountApi
{
public:
    AccountApi(ChatContext &context, FriendCommands &friends, WorkerPool &passwords)
        : m_context(context), m_friends(friends), m_passwords(passwords)
    {
    }
    void registerRoutes(QHttpServer &server);

private:
    void login(const QHttpServerRequest &request, const DeferredReply &reply);
    void registerUser(const QHttpServerRequest &request, const DeferredReply &reply);
    QHttpServerResponse logout(const QHttpServerRequest &request);
    QHttpServerResponse me(const QHttpServerRequest &request);
    QHttpServerResponse changeUsername(const QHttpServerRequest &request);
    void changePassword(const QHttpServerRequest &request, const DeferredReply &reply);

    ChatContext &m_context;
    FriendCommands &m_friends;
    WorkerPool &m_passwords;
};
