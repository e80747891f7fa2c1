#pragma once
// What the command handlers work with: the stores, the account service, the hub that reaches the
// connected users, the clock and the limits.
#include <QHash>
#include <QJsonObject>
#include <QString>
#include <functional>

class AccountService;
class ChatClient;
class ChatHub;
class Clock;
class FriendStore;
class GroupStore;
class HallSettings;
class ImageStore;
class MessageStore;
class MomentStore;
struct Limits;

struct ChatContext
{
    AccountService &accounts;
    MessageStore &messages;
    FriendStore &friends;
    GroupStore &groups;
    MomentStore &moments;
    HallSettings &hall;
    ImageStore &images;
    ChatHub &hub;
    const Clock &clock;
    const Limits &limits;
};

// One handler per command "type"; it runs for an authenticated client with the whole frame.
using CommandHandler = std::function<void(ChatClient &client, const QJsonObject &frame)>;
using CommandTable = QHash<QString, CommandHandler>;
