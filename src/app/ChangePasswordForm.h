#pragma once
// The password sheet: a new password of at least four characters, typed twice alike, then the
// change through the REST client. The current password is the server's to check.
#include "AccountForm.h"
#include "APIService.h"

#include <functional>

class ChangePasswordForm : public AccountForm
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString oldPassword MEMBER m_oldPassword NOTIFY fieldsChanged)
    Q_PROPERTY(QString newPassword MEMBER m_newPassword NOTIFY fieldsChanged)
    Q_PROPERTY(QString confirmPassword MEMBER m_confirmPassword NOTIFY fieldsChanged)

public:
    using Request = std::function<void(const QString &token, const QString &oldPassword, const QString &newPassword,
                                       const QString &newPassword2, QObject *context, ApiCallback<BooleanMap> done)>;

    explicit ChangePasswordForm(QObject *parent = nullptr);

    Q_INVOKABLE void submit();

    void setRequest(Request request) { m_request = std::move(request); }

Q_SIGNALS:
    void fieldsChanged();

private:
    QString m_oldPassword;
    QString m_newPassword;
    QString m_confirmPassword;
    Request m_request;
};
