#pragma once
// The user-name sheet: at least two characters (the upper bound is the server's), then the new
// name through the REST client; the answer becomes the session's current user.
#include "AccountForm.h"
#include "Result.h"
#include "User.h"

#include <functional>

class ChangeUsernameForm : public AccountForm
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString newUsername MEMBER m_newUsername NOTIFY newUsernameChanged)

public:
    using Request = std::function<void(const QString &token, const QString &newName, QObject *context,
                                       std::function<void(Result<User>)> done)>;

    explicit ChangeUsernameForm(QObject *parent = nullptr);

    Q_INVOKABLE void submit();

    void setRequest(Request request) { m_request = std::move(request); }

Q_SIGNALS:
    void newUsernameChanged();

private:
    QString m_newUsername;
    Request m_request;
};
