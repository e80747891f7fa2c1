#pragma once
// The signed-in session and the user's preferences: token, current user, theme, font size, the
// administrator flag and the hall settings the server announces. The token is kept in the
// keychain and the preferences in the settings store, written through on every assignment.
// The application object owns one instance; every screen reaches it.
#include "Result.h"
#include "User.h"

#include <QObject>
#include <QPointer>
#include <QVariant>
#include <QtQml/qqmlregistration.h>
#include <chrono>
#include <functional>
#include <optional>

class WebSocketService;

class AppState : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("the application owns the session state")
    Q_PROPERTY(QString token READ tokenText WRITE setTokenText NOTIFY tokenChanged)
    Q_PROPERTY(bool hasToken READ hasToken NOTIFY tokenChanged)
    Q_PROPERTY(QVariantMap currentUser READ currentUserVariant NOTIFY currentUserChanged)
    Q_PROPERTY(bool hasCurrentUser READ hasCurrentUser NOTIFY currentUserChanged)
    // "dark" or "light"; any other text is ignored.
    Q_PROPERTY(QString theme READ themeName WRITE setThemeName NOTIFY themeChanged)
    // "sm", "md", "lg" or "xl"; any other text is ignored.
    Q_PROPERTY(QString fontSize READ fontSizeName WRITE setFontSizeName NOTIFY fontSizeChanged)
    Q_PROPERTY(bool isAdmin READ isAdmin WRITE setIsAdmin NOTIFY isAdminChanged)
    Q_PROPERTY(QString hallName READ hallName WRITE setHallName NOTIFY hallNameChanged)
    Q_PROPERTY(int maxOnline READ maxOnline WRITE setMaxOnline NOTIFY maxOnlineChanged)

public:
    enum class Theme { Dark, Light };
    Q_ENUM(Theme)
    enum class FontSize { Sm, Md, Lg, Xl };
    Q_ENUM(FontSize)

    static constexpr const char *tokenKey = "zp_token";
    static constexpr int restoreAttempts = 3;

    // What the session reaches outside itself; empty members take the process-wide services.
    struct Services
    {
        WebSocketService *ws = nullptr;
        // POST /api/me with the token; answers once, on the main thread.
        std::function<void(const QString &token, QObject *context, std::function<void(Result<User>)> done)> fetchMe;
        // The REST logout; fire and forget.
        std::function<void()> restLogout;
        std::chrono::milliseconds retryDelay{1000};
    };

    explicit AppState(QObject *parent = nullptr);
    explicit AppState(Services services, QObject *parent = nullptr);

    const std::optional<QString> &token() const { return m_token; }
    void setToken(const std::optional<QString> &token);
    const std::optional<User> &currentUser() const { return m_currentUser; }
    void setCurrentUser(const std::optional<User> &user);
    Theme theme() const { return m_theme; }
    void setTheme(Theme theme);
    FontSize fontSize() const { return m_fontSize; }
    void setFontSize(FontSize size);
    bool isAdmin() const { return m_isAdmin; }
    void setIsAdmin(bool isAdmin);
    QString hallName() const { return m_hallName; }
    void setHallName(const QString &name);
    int maxOnline() const { return m_maxOnline; }
    void setMaxOnline(int maxOnline);

    static QString themeName(Theme theme) { return theme == Theme::Light ? QStringLiteral("light") : QStringLiteral("dark"); }
    static std::optional<Theme> themeFromName(const QString &name);
    static QString fontSizeName(FontSize size);
    static std::optional<FontSize> fontSizeFromName(const QString &name);

    // Checks the stored token against the server (three attempts, retryDelay apart) and fills the
    // current user; after three failures the session ends as by logout(), without telling the
    // server. `done` runs once at the end, while context lives. Nothing happens (but `done`)
    // without a token.
    void restoreSession(QObject *context = nullptr, std::function<void()> done = {});
    // Signs out locally and tells the server.
    Q_INVOKABLE void logout();

Q_SIGNALS:
    void tokenChanged();
    void currentUserChanged();
    void themeChanged();
    void fontSizeChanged();
    void isAdminChanged();
    void hallNameChanged();
    void maxOnlineChanged();

private:
    void attemptRestore(int attempt, QPointer<QObject> context, std::function<void()> done);
    // Everything of logout() but telling the server.
    void signOutLocally();
    void observeNotifications();

    QString tokenText() const { return m_token.value_or(QString()); }
    // An empty text from a screen means no token.
    void setTokenText(const QString &token) { setToken(token.isEmpty() ? std::nullopt : std::optional<QString>(token)); }
    bool hasToken() const { return m_token.has_value(); }
    QVariantMap currentUserVariant() const;
    bool hasCurrentUser() const { return m_currentUser.has_value(); }
    QString themeName() const { return themeName(m_theme); }
    void setThemeName(const QString &name);
    QString fontSizeName() const { return fontSizeName(m_fontSize); }
    void setFontSizeName(const QString &name);

    Services m_services;
    std::optional<QString> m_token;
    std::optional<User> m_currentUser;
    Theme m_theme = Theme::Dark;
    FontSize m_fontSize = FontSize::Md;
    bool m_isAdmin = false;
    QString m_hallName = QStringLiteral("公共大厅");
    int m_maxOnline = 0;
};
