#include "AppState.h"

#include "APIService.h"
#include "KeychainHelper.h"
#include "NotificationCenter.h"
#include "SettingsStore.h"
#include "WebSocketService.h"

#include <QJsonObject>
#include <QStringDecoder>
#include <QTimer>

namespace {
const QString themeKey = QStringLiteral("zp_theme");
const QString fontKey = QStringLiteral("zp_font");
const QString adminKey = QStringLiteral("zp_is_admin");

AppState::Services withDefaults(AppState::Services services)
{
    if (!services.ws)
        services.ws = &WebSocketService::shared();
    if (!services.fetchMe)
        services.fetchMe = [](const QString &token, QObject *context, std::function<void(Result<User>)> done) {
            APIService::shared().me(token, context, [done = std::move(done)](Result<MeResponse> answer) {
                // The answer's "ok" flag is not looked at: a decoded answer carries the account.
                done(answer ? Result<User>(answer.value().user) : answer.failedAs<User>());
            });
        };
    if (!services.restLogout)
        services.restLogout = [] { APIService::shared().logout(); };
    return services;
}

// An unreadable or non-UTF-8 item counts as no token.
std::optional<QString> decodeToken(const std::optional<QByteArray> &bytes)
{
    if (!bytes)
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(*bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

bool isInteger(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}
} // namespace

AppState::AppState(QObject *parent) : AppState(Services(), parent) {}

AppState::AppState(Services services, QObject *parent) : QObject(parent), m_services(withDefaults(std::move(services)))
{
    // The write-through of each preference runs once for what was read, as on every assignment.
    m_token = decodeToken(KeychainHelper::shared().readData(QString::fromLatin1(tokenKey)));
    setToken(m_token);
    if (const std::optional<QString> stored = SettingsStore::shared().string(themeKey))
        if (const std::optional<Theme> theme = themeFromName(*stored))
            setTheme(*theme);
    setIsAdmin(SettingsStore::shared().boolean(adminKey));
    if (const std::optional<QString> stored = SettingsStore::shared().string(fontKey))
        if (const std::optional<FontSize> size = fontSizeFromName(*stored))
            setFontSize(*size);
    observeNotifications();
}

void AppState::observeNotifications()
{
    NotificationCenter &center = NotificationCenter::shared();
    center.observe(QStringLiteral("hallRenamed"), this, [this](const QVariant &object) {
        if (object.typeId() == QMetaType::QString)
            setHallName(object.toString());
    });
    center.observe(QStringLiteral("maxOnlineUpdate"), this, [this](const QVariant &object) {
        setMaxOnline(isInteger(object) ? object.toInt() : 0);
    });
    center.observe(QStringLiteral("adminStatusUpdate"), this, [this](const QVariant &object) {
        setIsAdmin(object.typeId() == QMetaType::Bool && object.toBool());
    });
    center.observe(QStringLiteral("serverConfigChanged"), this, [this](const QVariant &) { logout(); });
}

void AppState::setToken(const std::optional<QString> &token)
{
    const QString account = QString::fromLatin1(tokenKey);
    if (token)
        KeychainHelper::shared().save(token->toUtf8(), account);
    else
        KeychainHelper::shared().remove(account);
    const bool changed = token != m_token;
    m_token = token;
    if (changed)
        Q_EMIT tokenChanged();
}

void AppState::setCurrentUser(const std::optional<User> &user)
{
    if (user == m_currentUser)
        return;
    m_currentUser = user;
    Q_EMIT currentUserChanged();
}

void AppState::setTheme(Theme theme)
{
    SettingsStore::shared().setString(themeKey, themeName(theme));
    if (theme == m_theme)
        return;
    m_theme = theme;
    Q_EMIT themeChanged();
}

void AppState::setFontSize(FontSize size)
{
    SettingsStore::shared().setString(fontKey, fontSizeName(size));
    const bool changed = size != m_fontSize;
    m_fontSize = size;
    if (changed)
        Q_EMIT fontSizeChanged();
    NotificationCenter::shared().post(QStringLiteral("fontSizeChanged"));
}

void AppState::setIsAdmin(bool isAdmin)
{
    SettingsStore::shared().setBoolean(adminKey, isAdmin);
    if (isAdmin == m_isAdmin)
        return;
    m_isAdmin = isAdmin;
    Q_EMIT isAdminChanged();
}

void AppState::setHallName(const QString &name)
{
    if (name == m_hallName)
        return;
    m_hallName = name;
    Q_EMIT hallNameChanged();
}

void AppState::setMaxOnline(int maxOnline)
{
    if (maxOnline == m_maxOnline)
        return;
    m_maxOnline = maxOnline;
    Q_EMIT maxOnlineChanged();
}

std::optional<AppState::Theme> AppState::themeFromName(const QString &name)
{
    if (name == QLatin1String("dark"))
        return Theme::Dark;
    if (name == QLatin1String("light"))
        return Theme::Light;
    return std::nullopt;
}

QString AppState::fontSizeName(FontSize size)
{
    switch (size) {
    case FontSize::Sm:
        return QStringLiteral("sm");
    case FontSize::Lg:
        return QStringLiteral("lg");
    case FontSize::Xl:
        return QStringLiteral("xl");
    case FontSize::Md:
        break;
    }
    return QStringLiteral("md");
}

std::optional<AppState::FontSize> AppState::fontSizeFromName(const QString &name)
{
    for (const FontSize size : {FontSize::Sm, FontSize::Md, FontSize::Lg, FontSize::Xl})
        if (fontSizeName(size) == name)
            return size;
    return std::nullopt;
}

void AppState::setThemeName(const QString &name)
{
    if (const std::optional<Theme> theme = themeFromName(name))
        setTheme(*theme);
}

void AppState::setFontSizeName(const QString &name)
{
    if (const std::optional<FontSize> size = fontSizeFromName(name))
        setFontSize(*size);
}

QVariantMap AppState::currentUserVariant() const
{
    return m_currentUser ? toJson(*m_currentUser).toObject().toVariantMap() : QVariantMap();
}

void AppState::restoreSession(QObject *context, std::function<void()> done)
{
    attemptRestore(1, context, std::move(done));
}

void AppState::attemptRestore(int attempt, QPointer<QObject> context, std::function<void()> done)
{
    const auto finish = [context, hasContext = !context.isNull(), done] {
        if (done && (!hasContext || context))
            done();
    };
    if (!m_token) {
        finish();
        return;
    }
    m_services.fetchMe(*m_token, this, [this, attempt, context, done, finish](Result<User> answer) {
        if (answer) {
            setCurrentUser(answer.value());
            finish();
        } else if (attempt < restoreAttempts) {
            // The wait dies with the session state; then nothing further happens.
            QTimer::singleShot(m_services.retryDelay, this, [this, attempt, context, done] {
                attemptRestore(attempt + 1, context, done);
            });
        } else {
            // A refused session ends like a sign-out, so the next account sees nothing of this one;
            // the server already refused the token, so it is not told.
            signOutLocally();
            finish();
        }
    });
}

void AppState::logout()
{
    signOutLocally();
    m_services.restLogout();
}

void AppState::signOutLocally()
{
    m_services.ws->disconnectFromServer();
    setToken(std::nullopt);
    setCurrentUser(std::nullopt);
    setIsAdmin(false);
    // The chat state drops the previous account's collections too, so the next account signed in
    // on this device never sees them. It goes first: it also stops its saves, so none of them can
    // write the previous account's chats back once the keys below are removed.
    NotificationCenter::shared().post(QStringLiteral("userLoggedOut"));
    SettingsStore &settings = SettingsStore::shared();
    for (const char *key : {"zp_friends", "zp_groups", "zp_global_msgs", "zp_dm_msgs", "zp_group_msgs", "zp_current_uid"})
        settings.remove(QString::fromLatin1(key));
}
