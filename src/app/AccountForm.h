#pragma once
// What the account sheets (user name, password) share: the session they change, the red message
// line and the request in flight. A subclass validates, then runs one request through begin(),
// finishing with fail() or succeed().
#include "AppState.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QtQml/qqmlregistration.h>

class AccountForm : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("the base of the account sheets' forms")
    Q_PROPERTY(AppState *appState MEMBER m_appState NOTIFY appStateChanged)
    Q_PROPERTY(QString message READ message NOTIFY messageChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)

public:
    using QObject::QObject;

    QString message() const { return m_message; }
    bool isLoading() const { return m_isLoading; }

Q_SIGNALS:
    void appStateChanged();
    void messageChanged();
    void isLoadingChanged();
    // The change went through; the sheet closes.
    void succeeded();

protected:
    // The session token, or nothing (then the form does nothing).
    QString token() const;
    void setMessage(const QString &message);
    void begin() { setLoading(true); }
    void fail(const QString &error);
    void succeed();

    QPointer<AppState> m_appState;

private:
    void setLoading(bool loading);

    QString m_message;
    bool m_isLoading = false;
};
