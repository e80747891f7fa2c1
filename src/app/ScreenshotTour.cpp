#include "ScreenshotTour.h"

#include "AccessibilityAudit.h"
#include "AppLogger.h"
#include "AppState.h"
#include "ChatViewModel.h"
#include "RootController.h"
#include "ServerConfig.h"
#include "SettingsStore.h"
#include "ZephlinApplication.h"

#include <QDir>
#include <QElapsedTimer>
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
