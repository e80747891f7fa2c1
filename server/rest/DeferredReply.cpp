#include "rest/DeferredReply.h"

#include <QHttpServerResponse>

DeferredReply::DeferredReply(QHttpServerResponder &&responder)
    : m_state(std::make_shared<State>(std::move(responder))), m_socket(m_state->responder.socket())
{
}

void DeferredReply::send(const QHttpServerResponse &response) const
{
    if (m_state->sent || !m_socket || m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    m_state->sent = true;
    response.write(std::move(m_state->responder));
}
