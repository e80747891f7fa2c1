#include "AccountForm.h"

QString AccountForm::token() const
{
    return m_appState ? m_appState->token().value_or(QString()) : QString();
}

void AccountForm::setMessage(const QString &message)
{
    if (m_message == message)
        return;
    m_message = message;
    Q_EMIT messageChanged();
}

void AccountForm::fail(const QString &error)
{
    setMessage(error);
    setLoading(false);
}

void AccountForm::succeed()
{
    setLoading(false);
    Q_EMIT succeeded();
}

void AccountForm::setLoading(bool loading)
{
    if (m_isLoading == loading)
        return;
    m_isLoading = loading;
    Q_EMIT isLoadingChanged();
}
