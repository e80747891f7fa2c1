#include "ChangeUsernameForm.h"

#include "APIService.h"
#include "AppState.h"
#include "Graphemes.h"

ChangeUsernameForm::ChangeUsernameForm(QObject *parent)
    : AccountForm(parent),
      m_request([](const QString &token, const QString &newName, QObject *context, std::function<void(Result<User>)> done) {
          APIService::shared().changeUsername(token, newName, context, std::move(done));
      })
{
}

void ChangeUsernameForm::submit()
{
    if (isLoading())
        return;
    if (Graphemes::count(m_newUsername) < 2) {
        setMessage(QStringLiteral("用户名至少2位"));
        return;
    }
    const QString sessionToken = token();
    if (sessionToken.isEmpty())
        return;
    begin();
    m_request(sessionToken, m_newUsername, this, [this](Result<User> answer) {
        if (!answer) {
            fail(answer.error());
            return;
        }
        if (m_appState)
            m_appState->setCurrentUser(answer.value());
        succeed();
    });
}
