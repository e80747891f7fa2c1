#include "ScreenshotTour.h"

#include "AccessibilityAudit.h"
#include "AppLogger.h"
#include "AppState.h"
#include "AppUpdateChecker.h"
#include "ChatViewModel.h"
#include "DraftImageList.h"
#include "MessageFormat.h"
#include "RootController.h"
#include "ServerConfig.h"
#include "SettingsStore.h"
#include "WebSocketService.h"
#include "ZephlinApplication.h"

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTimer>

namespace {
constexpr int readyTimeoutMs = 15000;
constexpr int pollMs = 50;
} // namespace

ScreenshotTour::ScreenshotTour(ZephlinApplication &app, Options options, QObject *parent)
    : QObject(parent), m_app(app), m_options(std::move(options))
{
}

QObject *ScreenshotTour::find(const QString &objectName) const
{
    QQuickWindow *window = m_app.window();
    if (!window)
        return nullptr;
    if (window->objectName() == objectName)
        return window;
    return window->findChild<QObject *>(objectName);
}

void ScreenshotTour::setProperty(const QString &objectName, const char *property, const QVariant &value)
{
    if (QObject *object = find(objectName))
        object->setProperty(property, value);
    else
        fail(QStringLiteral("no item named ") + objectName);
}

void ScreenshotTour::call(const QString &objectName, const char *method)
{
    QObject *object = find(objectName);
    if (!object || !QMetaObject::invokeMethod(object, method))
        fail(QStringLiteral("cannot call %1 on %2").arg(QLatin1String(method), objectName));
}

bool ScreenshotTour::onRoute(int route) const
{
    QObject *controller = find(QStringLiteral("rootController"));
    return controller && controller->property("route").toInt() == route;
}

void ScreenshotTour::start()
{
    if (!m_options.directory.isEmpty())
        QDir().mkpath(m_options.directory);
    if (m_options.audit)
        AccessibilityAudit::enable();
    // The splash is shown once per process, so it is taken first, as the app starts.
    m_steps.append({[] { return true; }, [] {}, 300, QStringLiteral("splash")});
    planVariant(QStringLiteral("dark"), QStringLiteral("md"));
    if (m_options.singleVariant) {
        runNext();
        return;
    }
    planVariant(QStringLiteral("light"), QStringLiteral("md"));
    planVariant(QStringLiteral("dark"), QStringLiteral("xl"));
    planVariant(QStringLiteral("light"), QStringLiteral("xl"));
    runNext();
}

void ScreenshotTour::planVariant(const QString &theme, const QString &fontSize)
{
    const QString suffix = QLatin1Char('-') + theme + QLatin1Char('-') + fontSize;
    const int signIn = int(RootController::Route::SignIn);
    const int mainRoute = int(RootController::Route::Main);
    AppState *state = &m_app.appState();

    m_steps.append({[this, signIn] { return onRoute(signIn); }, [state, theme, fontSize] {
                        state->setProperty("theme", theme);
                        state->setProperty("fontSize", fontSize);
                    }, 500, QStringLiteral("signin") + suffix});
    m_steps.append({[this] { return find(QStringLiteral("authView")); }, [this] {
                        call(QStringLiteral("registerTab"), "clicked");
                    }, 300, QStringLiteral("register") + suffix});
    m_steps.append({[] { return true; }, [this] {
                        setProperty(QStringLiteral("regUsername"), "text", QStringLiteral("张"));
                        call(QStringLiteral("registerButton"), "clicked");
                    }, 300, QStringLiteral("register-error") + suffix});
    // A server that refuses the connection: the card says so in Chinese.
    m_steps.append({[] { return true; }, [this] {
                        SettingsStore::shared().setString(QLatin1String(ServerConfig::settingsKey),
                                                          QStringLiteral("https://127.0.0.1:1"));
                        call(QStringLiteral("loginTab"), "clicked");
                        setProperty(QStringLiteral("loginUsername"), "text", m_options.username);
                        setProperty(QStringLiteral("loginPassword"), "text", m_options.password);
                        call(QStringLiteral("loginButton"), "clicked");
                    }, 0, QString()});
    const QString server = ServerConfig::baseURL();
    m_steps.append({[this] {
                        const QObject *form = find(QStringLiteral("authForm"));
                        return form && !form->property("message").toString().isEmpty();
                    }, [server] { SettingsStore::shared().setString(QLatin1String(ServerConfig::settingsKey), server); },
                    300, QStringLiteral("signin-unreachable") + suffix});
    m_steps.append({[] { return true; }, [this] {
                        setProperty(QStringLiteral("regUsername"), "text", QString());
                        call(QStringLiteral("serverSettingsButton"), "clicked");
                    }, 500, QStringLiteral("server-settings") + suffix});
    m_steps.append({[this] { return find(QStringLiteral("serverURLField")); }, [this] {
                        call(QStringLiteral("serverConfigCancel"), "clicked");
                        call(QStringLiteral("loginTab"), "clicked");
                        setProperty(QStringLiteral("loginUsername"), "text", m_options.username);
                        setProperty(QStringLiteral("loginPassword"), "text", m_options.password);
                        call(QStringLiteral("loginButton"), "clicked");
                    }, 0, QStringLiteral("signing-in") + suffix});
    const char *tabs[] = {"messages", "contacts", "discover", "me"};
    for (int tab = 0; tab < 4; ++tab) {
        m_steps.append({[this, mainRoute] { return onRoute(mainRoute) && find(QStringLiteral("mainTabs")); },
                        [this, tab] { setProperty(QStringLiteral("mainTabs"), "selectedTab", tab); }, 700,
                        QStringLiteral("tab-%1-%2").arg(tab).arg(QLatin1String(tabs[tab])) + suffix});
    }
    // Alice's screens first; the profile's steps end signed in as the administrator.
    planContactScreens(suffix);
    planChatScreens(suffix);
    planFailedMessage(suffix);
    planMoments(suffix);
    planProfile(suffix);
    planContactsWithoutRequests(suffix);
    m_steps.append({[] { return true; }, [this] {
                        setProperty(QStringLiteral("mainTabs"), "selectedTab", 2);
                        call(QStringLiteral("discoverSiblingEntry"), "clicked");
                    }, 500,
                    QStringLiteral("discover-warning") + suffix});
    m_steps.append({[] { return true; }, [this] { call(QStringLiteral("siblingWarning"), "close"); }, 200, QString()});
    m_steps.append({[] { return true; }, [state] {
                        state->logout();
                    }, 200, QString()});
}

// The moments feed: empty, full, scrolled to its end, the comment dialog, and the posting form
// empty, filled with text and nine pictures, and refused by the server.
void ScreenshotTour::planMoments(const QString &suffix)
{
    AppState *state = &m_app.appState();
    const auto composer = [this]() -> QObject * {
        QObject *sheet = find(QStringLiteral("postMomentView"));
        return sheet ? sheet->property("composer").value<QObject *>() : nullptr;
    };
    m_steps.append({[] { return true; }, [this] {
                        // Emptied as a server update would empty it; the next connection refills it.
                        WebSocketService::shared().handleMessage(QStringLiteral(R"({"type":"moments","moments":[]})"));
                        setProperty(QStringLiteral("mainTabs"), "showMoments", true);
                    }, 600, QStringLiteral("moments-empty") + suffix});
    m_steps.append({[] { return true; }, [state] { WebSocketService::shared().connectToServer(state->token().value_or(QString())); }, 0,
                    QString()});
    m_steps.append({[this] {
                        QObject *list = find(QStringLiteral("momentList"));
                        return list && list->property("count").toInt() > 0;
                    }, [] {}, 1500, QStringLiteral("moments-feed") + suffix});
    // Twice: the first pass builds the last cards, whose heights the second one then knows.
    for (const QString &shot : {QString(), QStringLiteral("moments-feed-end") + suffix})
        m_steps.append({[] { return true; }, [this] { call(QStringLiteral("momentList"), "positionViewAtEnd"); }, 800, shot});
    m_steps.append({[] { return true; }, [this] {
                        QObject *view = find(QStringLiteral("momentsView"));
                        QObject *chat = view ? view->property("chat").value<QObject *>() : nullptr;
                        if (!chat) {
                            fail(QStringLiteral("no moments feed"));
                            return;
                        }
                        view->setProperty("commentText", QStringLiteral("一起去！"));
                        view->setProperty("commentMoment", chat->property("moments").toList().value(0));
                    }, 500, QStringLiteral("moments-comment") + suffix});
    m_steps.append({[] { return true; }, [this] {
                        setProperty(QStringLiteral("momentsView"), "commentMoment", QVariant::fromValue(nullptr));
                        setProperty(QStringLiteral("momentsView"), "showPostMoment", true);
                    }, 600, QStringLiteral("post-moment-empty") + suffix});
    m_steps.append({[composer] { return composer() != nullptr; }, [this, composer] {
                        QObject *form = composer();
                        form->setProperty("text", QStringLiteral("周末去了趟植物园，春天真的来了 🌸"));
                        auto *images = form->property("images").value<DraftImageList *>();
                        for (int i = 0; images && i < 9; ++i) {
                            QImage picture(320, 320, QImage::Format_RGB32);
                            picture.fill(QColor::fromHsv(i * 40, 140, 230));
                            images->addImage(picture);
                        }
                    }, 600, QStringLiteral("post-moment-full") + suffix});
    // A session the server no longer knows: the post is refused and the form keeps everything.
    m_steps.append({[] { return true; }, [composer] {
                        composer()->setProperty("token", QStringLiteral("expired"));
                        QMetaObject::invokeMethod(composer(), "post");
                    }, 0, QString()});
    m_steps.append({[composer] { return !composer()->property("message").toString().isEmpty(); }, [] {}, 300,
                    QStringLiteral("post-moment-error") + suffix});
    m_steps.append({[] { return true; }, [this] {
                        call(QStringLiteral("postMomentView"), "close");
                        setProperty(QStringLiteral("mainTabs"), "showMoments", false);
                    }, 400, QString()});
}

// The profile's sheets as a member, the update alerts, then the administrator's profile and sheet.
// Ends signed in as the demo administrator.
void ScreenshotTour::planProfile(const QString &suffix)
{
    const auto sheet = [this, suffix](const char *flag, std::function<void()> fill, const QString &shot) {
        m_steps.append({[] { return true; }, [this, flag] { setProperty(QStringLiteral("profileView"), flag, true); }, 500, QString()});
        m_steps.append({[] { return true; }, fill, 400, shot + suffix});
        m_steps.append({[] { return true; }, [this, flag] { setProperty(QStringLiteral("profileView"), flag, false); }, 200, QString()});
    };
    m_steps.append({[] { return true; }, [this] { setProperty(QStringLiteral("mainTabs"), "selectedTab", 3); }, 300, QString()});
    sheet("showFontSize", [] {}, QStringLiteral("profile-font-size"));
    sheet("showChangeUsername", [this] {
        setProperty(QStringLiteral("newUsernameField"), "text", QStringLiteral("王"));
        call(QStringLiteral("confirmButton"), "clicked");
    }, QStringLiteral("profile-username-error"));
    sheet("showChangePassword", [this] {
        setProperty(QStringLiteral("oldPasswordField"), "text", QStringLiteral("alice123"));
        setProperty(QStringLiteral("newPasswordField"), "text", QStringLiteral("abc"));
        setProperty(QStringLiteral("confirmPasswordField"), "text", QStringLiteral("abc"));
        call(QStringLiteral("confirmButton"), "clicked");
    }, QStringLiteral("profile-password-short"));
    sheet("showChangePassword", [this] {
        setProperty(QStringLiteral("newPasswordField"), "text", QStringLiteral("abcd"));
        setProperty(QStringLiteral("confirmPasswordField"), "text", QStringLiteral("abce"));
        call(QStringLiteral("confirmButton"), "clicked");
    }, QStringLiteral("profile-password-mismatch"));
    sheet("showServerConfig", [] {}, QStringLiteral("profile-server-settings"));
    sheet("showChangelog", [] {}, QStringLiteral("profile-changelog"));

    // The demo server is also the update server; its version file offers a newer build.
    AppUpdateChecker *checker = &AppUpdateChecker::shared();
    const auto stageIs = [checker](AppUpdateChecker::Stage stage) { return [checker, stage] { return checker->stage() == stage; }; };
    m_steps.append({[] { return true; }, [checker] {
                        checker->setUpdateBaseURL(ServerConfig::baseURL());
                        checker->checkAndPrompt();
                    }, 0, QStringLiteral("update-checking") + suffix});
    m_steps.append({stageIs(AppUpdateChecker::UpdateAvailable), [] {}, 300, QStringLiteral("update-available") + suffix});
    m_steps.append({[] { return true; }, [checker] {
                        checker->chooseButton(1);
                        checker->setUpdateBaseURL(ServerConfig::baseURL() + QStringLiteral("/missing"));
                        checker->checkAndPrompt();
                    }, 0, QString()});
    m_steps.append({stageIs(AppUpdateChecker::CheckFailed), [] {}, 300, QStringLiteral("update-failed") + suffix});
    m_steps.append({[] { return true; }, [checker, state = &m_app.appState()] {
                        checker->chooseButton(0);
                        state->logout();
                    }, 200, QString()});

    const int signIn = int(RootController::Route::SignIn);
    const int mainRoute = int(RootController::Route::Main);
    m_steps.append({[this, signIn] { return onRoute(signIn) && find(QStringLiteral("loginUsername")); }, [this] {
                        setProperty(QStringLiteral("loginUsername"), "text", QStringLiteral("admin"));
                        setProperty(QStringLiteral("loginPassword"), "text", QStringLiteral("admin123"));
                        call(QStringLiteral("loginButton"), "clicked");
                    }, 0, QString()});
    m_steps.append({[this, mainRoute] { return onRoute(mainRoute) && find(QStringLiteral("mainTabs")); },
                    [this] { setProperty(QStringLiteral("mainTabs"), "selectedTab", 3); }, 700,
                    QStringLiteral("profile-admin") + suffix});
    sheet("showAdmin", [this] {
        setProperty(QStringLiteral("adminConsole"), "maxOnline", QStringLiteral("200"));
        setProperty(QStringLiteral("adminConsole"), "hallName", QStringLiteral("Zephlin 大厅"));
        setProperty(QStringLiteral("adminConsole"), "banUsername", QStringLiteral("spammer"));
        setProperty(QStringLiteral("adminConsole"), "announceText", QStringLiteral("今晚 23:00 维护半小时"));
    }, QStringLiteral("admin-sheet"));
}

void ScreenshotTour::openRoom(const QVariant &room)
{
    QObject *messages = find(QStringLiteral("messagesView"));
    if (!messages || !QMetaObject::invokeMethod(messages, "openRoom", Q_ARG(QVariant, room)))
        fail(QStringLiteral("cannot open a room"));
}

QObject *ScreenshotTour::composer() const
{
    QObject *chat = find(QStringLiteral("chatView"));
    return chat ? chat->property("composer").value<QObject *>() : nullptr;
}

void ScreenshotTour::compose(const QString &text)
{
    if (QObject *input = composer())
        QMetaObject::invokeMethod(input, "handleTextChange", Q_ARG(QString, text));
}

QVariantMap ScreenshotTour::firstChatRecord(const char *list) const
{
    const ChatViewModel *chat = m_app.window() ? m_app.window()->property("chat").value<ChatViewModel *>() : nullptr;
    const QVariantList records = chat ? chat->property(list).toList() : QVariantList();
    return records.isEmpty() ? QVariantMap() : records.first().toMap();
}

// The conversation list, the request sheet and every state of the chat screen, as alice sees them.
void ScreenshotTour::planChatScreens(const QString &suffix)
{
    const auto always = [] { return true; };
    const auto chatShown = [this] { return find(QStringLiteral("chatView")) != nullptr; };
    const auto closeChat = [this] { call(QStringLiteral("messagesView"), "closeRoom"); };
    m_steps.append({always, [this] {
                        setProperty(QStringLiteral("mainTabs"), "selectedTab", 0);
                        setProperty(QStringLiteral("messagesView"), "searchText", QStringLiteral("周"));
                    }, 400, QStringLiteral("messages-search") + suffix});
    m_steps.append({always, [this] {
                        setProperty(QStringLiteral("messagesView"), "searchText", QString());
                        setProperty(QStringLiteral("messagesView"), "showFriendRequests", true);
                    }, 500, QStringLiteral("friend-requests") + suffix});
    m_steps.append({always, [this] {
                        setProperty(QStringLiteral("messagesView"), "showFriendRequests", false);
                        openRoom(QVariant::fromValue(RoomType::global()));
                    }, 1500, QStringLiteral("chat-hall") + suffix});
    m_steps.append({chatShown, [this] { compose(QStringLiteral("@")); }, 400, QStringLiteral("chat-mention") + suffix});
    m_steps.append({always, [this] { compose(QStringLiteral("@没有这个人")); }, 400,
                    QStringLiteral("chat-mention-none") + suffix});
    m_steps.append({always, [this] {
                        compose(QString());
                        QObject *input = composer();
                        auto *drafts = input ? input->property("draftImages").value<DraftImageList *>() : nullptr;
                        for (const QColor &colour : {QColor(0x0e, 0xa5, 0xe9), QColor(0xf5, 0x9e, 0x0b)}) {
                            QImage image(240, 240, QImage::Format_RGB32);
                            image.fill(colour);
                            if (drafts)
                                drafts->addImage(image);
                        }
                        compose(QStringLiteral("看看这两张"));
                    }, 400, QStringLiteral("chat-drafts") + suffix});
    m_steps.append({always, [this] {
                        if (QObject *input = composer())
                            QMetaObject::invokeMethod(input->property("draftImages").value<QObject *>(), "clear");
                        compose(QString());
                        setProperty(QStringLiteral("chatView"), "contextMenuMessage",
                                    QVariantMap{{QStringLiteral("id"), QStringLiteral("tour")},
                                                {QStringLiteral("content"), QStringLiteral("拍得真好！")},
                                                {QStringLiteral("isFromMe"), true}});
                    }, 500, QStringLiteral("chat-actions") + suffix});
    m_steps.append({always, [this] {
                        setProperty(QStringLiteral("chatView"), "contextMenuMessage", QVariant::fromValue(nullptr));
                        QString picture;
                        const ChatViewModel *chat = m_app.window()->property("chat").value<ChatViewModel *>();
                        for (const ChatMessage &message : chat ? chat->globalMessages() : QList<ChatMessage>())
                            if (message.images && !message.images->isEmpty())
                                picture = MessageFormat::imageURL(message.images->first());
                        setProperty(QStringLiteral("chatView"), "previewImageURL", picture);
                    }, 1200, QStringLiteral("chat-preview") + suffix});
    m_steps.append({always, [this, closeChat] {
                        setProperty(QStringLiteral("chatView"), "previewImageURL", QString());
                        closeChat();
                    }, 300, QString()});
    m_steps.append({[this] { return find(QStringLiteral("chatView")) == nullptr; }, [this] {
                        const QVariantMap group = firstChatRecord("groups");
                        openRoom(QVariant::fromValue(RoomType::group(group.value(QStringLiteral("id")).toString(),
                                                                     group.value(QStringLiteral("name")).toString())));
                    }, 1000, QStringLiteral("chat-group") + suffix});
    m_steps.append({always, closeChat, 300, QString()});
    m_steps.append({[this] { return find(QStringLiteral("chatView")) == nullptr; }, [this] {
                        const ChatViewModel *chat = m_app.window()->property("chat").value<ChatViewModel *>();
                        for (const User &user : chat ? chat->friends() : QList<User>())
                            if (user.username == QLatin1String("bob"))
                                openRoom(QVariant::fromValue(RoomType::dm(user.id, user.username)));
                    }, 1000, QStringLiteral("chat-direct") + suffix});
    m_steps.append({always, [this] { setProperty(QStringLiteral("chatView"), "showDeleteConfirm", true); }, 500,
                    QStringLiteral("chat-delete-contact") + suffix});
    m_steps.append({always, [this] {
                        setProperty(QStringLiteral("chatView"), "showDeleteConfirm", false);
                        // Two sends within half a second: the second is refused with a toast.
                        compose(QStringLiteral("好的，周六见！"));
                        QMetaObject::invokeMethod(composer(), "send");
                        compose(QStringLiteral("👍"));
                        QMetaObject::invokeMethod(composer(), "send");
                    }, 600, QStringLiteral("chat-toast") + suffix});
    m_steps.append({always, closeChat, 400, QString()});
}

// A message the server refuses (小明 is not alice's friend yet): unconfirmed, it is marked failed
// once the wait for its echo is over, and its actions offer "重发".
void ScreenshotTour::planFailedMessage(const QString &suffix)
{
    const auto always = [] { return true; };
    m_steps.append({always, [this] {
                        const QVariantMap request = firstChatRecord("pendingRequests");
                        openRoom(QVariant::fromValue(RoomType::dm(request.value(QStringLiteral("from")).toString(),
                                                                  request.value(QStringLiteral("fromName")).toString())));
                    }, 800, QString()});
    m_steps.append({[this] { return composer() != nullptr; }, [this] {
                        compose(QStringLiteral("你好，周末一起去爬山吗？"));
                        QMetaObject::invokeMethod(composer(), "send");
                    }, 16000, QStringLiteral("chat-failed") + suffix});
    m_steps.append({always, [this] {
                        const ChatViewModel *chat = m_app.window()->property("chat").value<ChatViewModel *>();
                        const std::optional<RoomType> room = chat ? chat->currentRoom() : std::nullopt;
                        const QList<ChatMessage> messages = room ? chat->messages(*room) : QList<ChatMessage>();
                        if (messages.isEmpty())
                            return fail(QStringLiteral("no failed message"));
                        setProperty(QStringLiteral("chatView"), "contextMenuMessage",
                                    QVariantMap{{QStringLiteral("id"), messages.last().id},
                                                {QStringLiteral("content"), messages.last().content},
                                                {QStringLiteral("isFromMe"), true},
                                                {QStringLiteral("isFailed"), messages.last().failed.value_or(false)}});
                    }, 500, QStringLiteral("chat-failed-actions") + suffix});
    m_steps.append({always, [this] {
                        setProperty(QStringLiteral("chatView"), "contextMenuMessage", QVariant::fromValue(nullptr));
                        call(QStringLiteral("messagesView"), "closeRoom");
                    }, 400, QString()});
}

// The contacts tab with and without waiting requests, its sheets empty, refused and filled in,
// then the group settings of alice's own group (with the rename alert and the add-members sheet)
// and of bob's group, where she is only a member.
void ScreenshotTour::planContactScreens(const QString &suffix)
{
    const auto always = [] { return true; };
    const auto show = [this](const QString &view, const char *flag, bool on) { setProperty(view, flag, on); };
    const auto chat = [this] { return m_app.window()->property("chat").value<ChatViewModel *>(); };
    const auto userId = [chat](const QString &name) {
        for (const User &user : chat()->friends())
            if (user.username == name)
                return user.id;
        return QString();
    };
    const QString contacts = QStringLiteral("contactsView");
    // Opens the chat of alice's own group or of one where she is only a member.
    const auto openGroup = [this, chat, contacts](bool owned) {
        for (const ChatGroup &group : chat()->groups())
            if ((group.owner == ChatViewModel::currentUserId()) == owned) {
                QMetaObject::invokeMethod(find(contacts), "openRoom",
                                          Q_ARG(QVariant, QVariant::fromValue(RoomType::group(group.id, group.name))));
                return;
            }
        fail(QStringLiteral("no such group"));
    };
    m_steps.append({always, [this] { setProperty(QStringLiteral("mainTabs"), "selectedTab", 1); }, 500,
                    QStringLiteral("contacts") + suffix});
    m_steps.append({always, [this, show, contacts] { show(contacts, "showAddFriend", true); }, 500, QStringLiteral("add-friend") + suffix});
    m_steps.append({always, [this] { call(QStringLiteral("addFriendSheet"), "submit"); }, 300,
                    QStringLiteral("add-friend-empty") + suffix});
    m_steps.append({always, [this] { setProperty(QStringLiteral("addFriendSheet"), "username", QStringLiteral("小红")); }, 300,
                    QStringLiteral("add-friend-filled") + suffix});
    m_steps.append({always, [this, show, contacts] {
                        show(contacts, "showAddFriend", false);
                        show(contacts, "showCreateGroup", true);
                    }, 500, QStringLiteral("create-group") + suffix});
    m_steps.append({always, [this] { call(QStringLiteral("createGroupSheet"), "submit"); }, 300,
                    QStringLiteral("create-group-no-name") + suffix});
    m_steps.append({always, [this] {
                        setProperty(QStringLiteral("createGroupSheet"), "groupName", QStringLiteral("周末读书会"));
                        call(QStringLiteral("createGroupSheet"), "submit");
                    }, 300, QStringLiteral("create-group-no-friends") + suffix});
    m_steps.append({always, [this, userId] {
                        setProperty(QStringLiteral("createGroupSheet"), "selectedMembers",
                                    QStringList{userId(QStringLiteral("bob")), userId(QStringLiteral("carol"))});
                    }, 300, QStringLiteral("create-group-filled") + suffix});
    m_steps.append({always, [this, show, contacts] {
                        show(contacts, "showCreateGroup", false);
                        show(contacts, "showSearchGroup", true);
                    }, 500, QStringLiteral("search-group") + suffix});
    m_steps.append({always, [this] {
                        setProperty(QStringLiteral("searchGroupSheet"), "keyword", QStringLiteral("周末"));
                        call(QStringLiteral("searchGroupSheet"), "search");
                    }, 1200, QStringLiteral("search-group-results") + suffix});
    m_steps.append({always, [this] {
                        setProperty(QStringLiteral("searchGroupSheet"), "keyword", QStringLiteral("没有这个群"));
                        call(QStringLiteral("searchGroupSheet"), "search");
                    }, 1200, QStringLiteral("search-group-none") + suffix});
    m_steps.append({always, [this, show, contacts, openGroup] {
                        call(QStringLiteral("searchGroupSheet"), "clear");
                        show(contacts, "showSearchGroup", false);
                        openGroup(true);
                    }, 800, QString()});
    const QString settings = QStringLiteral("groupSettingsSheet");
    const QString chatView = QStringLiteral("chatView");
    m_steps.append({[this, chatView] { return find(chatView) != nullptr; },
                    [show, chatView] { show(chatView, "showGroupSettings", true); }, 600,
                    QStringLiteral("group-settings-owner") + suffix});
    m_steps.append({always, [this, show, settings] {
                        setProperty(settings, "newName", QStringLiteral("周末徒步俱乐部"));
                        show(settings, "showRename", true);
                    }, 500, QStringLiteral("group-rename") + suffix});
    m_steps.append({always, [this, show, settings] {
                        show(settings, "showRename", false);
                        show(settings, "showAddMembers", true);
                    }, 500, QStringLiteral("group-add-members") + suffix});
    m_steps.append({always, [this, userId] {
                        setProperty(QStringLiteral("addMembersSheet"), "selected", QStringList{userId(QStringLiteral("admin"))});
                    }, 300, QStringLiteral("group-add-members-picked") + suffix});
    m_steps.append({always, [this, show, settings, chatView, contacts] {
                        show(settings, "showAddMembers", false);
                        show(chatView, "showGroupSettings", false);
                        call(contacts, "closeRoom");
                    }, 400, QString()});
    m_steps.append({[this, chatView] { return find(chatView) == nullptr; }, [openGroup] { openGroup(false); }, 800, QString()});
    m_steps.append({[this, chatView] { return find(chatView) != nullptr; },
                    [show, chatView] { show(chatView, "showGroupSettings", true); }, 600,
                    QStringLiteral("group-settings-member") + suffix});
    m_steps.append({always, [this, show, chatView, contacts] {
                        show(chatView, "showGroupSettings", false);
                        call(contacts, "closeRoom");
                    }, 400, QString()});
}

// The contacts tab of an account nobody has asked to be friends with: the administrator's.
void ScreenshotTour::planContactsWithoutRequests(const QString &suffix)
{
    m_steps.append({[] { return true; }, [this] { setProperty(QStringLiteral("mainTabs"), "selectedTab", 1); }, 500,
                    QStringLiteral("contacts-no-requests") + suffix});
}

void ScreenshotTour::runNext()
{
    if (m_failed)
        return;
    if (m_steps.isEmpty()) {
        AppLogger::shared().log(QStringLiteral("screenshot tour: saved %1 pictures to %2").arg(m_saved).arg(m_options.directory));
        for (const QString &finding : std::as_const(m_findings))
            AppLogger::shared().log(QStringLiteral("accessibility: ") + finding);
        Q_EMIT finished(m_findings.isEmpty() ? 0 : 1);
        return;
    }
    const Step step = m_steps.takeFirst();
    auto waited = std::make_shared<QElapsedTimer>();
    waited->start();
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [this, step, waited, poll] {
        if (!step.ready()) {
            if (waited->elapsed() > readyTimeoutMs) {
                fail(QStringLiteral("timed out before ") + (step.shot.isEmpty() ? QStringLiteral("a step") : step.shot));
                return;
            }
            QTimer::singleShot(pollMs, this, *poll);
            return;
        }
        step.act();
        QTimer::singleShot(step.settleMs, this, [this, step] {
            ++m_done;
            if (!step.shot.isEmpty())
                shoot(step.shot);
            if (m_options.audit)
                audit(step.shot.isEmpty() ? QStringLiteral("step %1 after %2").arg(m_done).arg(m_lastShot) : step.shot);
            if (!step.shot.isEmpty())
                m_lastShot = step.shot;
            runNext();
        });
    };
    (*poll)();
}

void ScreenshotTour::shoot(const QString &name)
{
    QQuickWindow *window = m_app.window();
    if (!window) {
        fail(QStringLiteral("no window"));
        return;
    }
    if (m_options.directory.isEmpty())
        return;
    const QString path = m_options.directory + QLatin1Char('/') + name + QStringLiteral(".png");
    if (window->grabWindow().save(path))
        ++m_saved;
    else
        fail(QStringLiteral("could not save ") + path);
}

void ScreenshotTour::audit(const QString &step)
{
    for (const QString &finding : AccessibilityAudit::check(m_app.window()))
        m_findings.append(step + QStringLiteral(": ") + finding);
}

void ScreenshotTour::fail(const QString &why)
{
    if (m_failed)
        return;
    m_failed = true;
    AppLogger::shared().log(QStringLiteral("screenshot tour failed: ") + why);
    m_steps.clear();
    Q_EMIT finished(1);
}
