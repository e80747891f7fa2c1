#include "AuthViewModel.h"

#include "APIService.h"
#include "AppState.h"
#include "Graphemes.h"
#include "SettingsStore.h"


AuthViewModel::AuthViewModel(QObject *parent) : QObject(parent) {}

void AuthViewModel::setTab(Tab tab)
{
    setMessage(QString());
    if (m_tab == tab)
        return;
    m_tab = tab;
    Q_EMIT tabChanged();
}

void AuthViewModel::doLogin()
{
    if (m_isLoading)
        return;
    if (m_loginUsername.isEmpty() || m_loginPassword.isEmpty()) {
        setMessage(QStringLiteral("请输入用户名和密码"));
        return;
    }
    setLoading(true);
    setMessage(QString());
    signIn(m_loginUsername, m_loginPassword);
}

void AuthViewModel::doRegister()
{
    if (m_isLoading)
        return;
    const int nameLength = Graphemes::count(m_regUsername);
    const int passwordLength = Graphemes::count(m_regPassword);
    if (nameLength < 2 || nameLength > 20) {
        setMessage(QStringLiteral("用户名需为2-20位"));
        return;
    }
    if (passwordLength < 4 || passwordLength > 64) {
        setMessage(QStringLiteral("密码需为4-64位"));
        return;
    }
    if (m_regPassword != m_regPassword2) {
        setMessage(QStringLiteral("两次密码不一致"));
        return;
    }
    setLoading(true);
    setMessage(QString());
    const QString username = m_regUsername;
    const QString password = m_regPassword;
    APIService::shared().registerUser(username, password, this, [this, username, password](Result<RegisterResponse> answer) {
        if (!answer) {
            fail(answer.error());
            return;
        }
        signIn(username, password);
    });
}

void AuthViewModel::signIn(const QString &username, const QString &password)
{
    APIService::shared().login(username, password, this, [this](Result<LoginResponse> answer) {
        if (answer)
            finishSignIn(answer.value());
        else
            fail(answer.error());
    });
}

void AuthViewModel::finishSignIn(const LoginResponse &answer)
{
    if (m_appState) {
        m_appState->setToken(answer.token);
        m_appState->setCurrentUser(answer.user);
    }
    SettingsStore::shared().setString(QStringLiteral("zp_current_uid"), answer.user.id);
    setLoading(false);
}

void AuthViewModel::fail(const QString &error)
{
    setMessage(error);
    setLoading(false);
}

void AuthViewModel::setMessage(const QString &message)
{
    if (m_message == message)
        return;
    m_message = message;
    Q_EMIT messageChanged();
}

void AuthViewModel::setLoading(bool loading)
{
    if (m_isLoading == loading)
        return;
    m_isLoading = loading;
    Q_EMIT isLoadingChanged();
}
