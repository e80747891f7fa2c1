#include "ChangePasswordForm.h"

#include "Graphemes.h"

ChangePasswordForm::ChangePasswordForm(QObject *parent)
    : AccountForm(parent),
      m_request([](const QString &token, const QString &oldPassword, const QString &newPassword,
                   const QString &newPassword2, QObject *context, ApiCallback<BooleanMap> done) {
          APIService::shared().changePassword(token, oldPassword, newPassword, newPassword2, context, std::move(done));
      })
{
}

void ChangePasswordForm::submit()
{
    if (isLoading())
        return;
    if (Graphemes::count(m_newPassword) < 4) {
        setMessage(QStringLiteral("密码至少4位"));
        return;
    }
    if (m_newPassword != m_confirmPassword) {
        setMessage(QStringLiteral("两次密码不一致"));
        return;
    }
    const QString sessionToken = token();
    if (sessionToken.isEmpty())
        return;
    begin();
    m_request(sessionToken, m_oldPassword, m_newPassword, m_confirmPassword, this, [this](Result<BooleanMap> answer) {
        if (answer)
            succeed();
        else
            fail(answer.error());
    });
}
