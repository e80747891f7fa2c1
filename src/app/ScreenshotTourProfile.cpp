#include "ScreenshotTour.h"

#include "AppState.h"
#include "AppUpdateChecker.h"
#include "RootController.h"
#include "ServerConfig.h"
#include "ZephlinApplication.h"

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
