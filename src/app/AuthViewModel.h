#pragma once
// The sign-in card's state and its two operations. Fields are kept while the screen lives;
// switching tabs only clears the message line.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QtQml/qqmlregistration.h>

class AppState;
struct LoginResponse;

class AuthViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(AppState *appState MEMBER m_appState NOTIFY appStateChanged)
    Q_PROPERTY(Tab tab READ tab WRITE setTab NOTIFY tabChanged)
    Q_PROPERTY(QString loginUsername MEMBER m_loginUsername NOTIFY fieldsChanged)
    Q_PROPERTY(QString loginPassword MEMBER m_loginPassword NOTIFY fieldsChanged)
    Q_PROPERTY(QString regUsername MEMBER m_regUsername NOTIFY fieldsChanged)
    Q_PROPERTY(QString regPassword MEMBER m_regPassword NOTIFY fieldsChanged)
    Q_PROPERTY(QString regPassword2 MEMBER m_regPassword2 NOTIFY fieldsChanged)
    Q_PROPERTY(QString message READ message NOTIFY messageChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)

public:
    enum class Tab { Login, Register };
    Q_ENUM(Tab)

    explicit AuthViewModel(QObject *parent = nullptr);

    Tab tab() const { return m_tab; }
    void setTab(Tab tab);
    QString message() const { return m_message; }
    bool isLoading() const { return m_isLoading; }

    Q_INVOKABLE void doLogin();
    Q_INVOKABLE void doRegister();

Q_SIGNALS:
    void appStateChanged();
    void tabChanged();
    void fieldsChanged();
    void messageChanged();
    void isLoadingChanged();

private:
    void setMessage(const QString &message);
    void setLoading(bool loading);
    void signIn(const QString &username, const QString &password);
    void finishSignIn(const LoginResponse &answer);
    void fail(const QString &error);

    QPointer<AppState> m_appState;
    Tab m_tab = Tab::Login;
    QString m_loginUsername;
    QString m_loginPassword;
    QString m_regUsername;
    QString m_regPassword;
    QString m_regPassword2;
    QString m_message;
    bool m_isLoading = false;
};
