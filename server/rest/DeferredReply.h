#pragma once
// The answer to a request whose work runs on the worker pool, sent later from the event loop.
// The responder keeps a bare pointer to the connection, which is deleted when the client goes away
// (or the request deadline cuts it off) while the work runs: the reply watches the connection and
// drops the answer then, so nothing is ever written through a dangling socket. Copies share one
// responder, and only the first answer is sent.
#include <QHttpServerResponder>
#include <QPointer>
#include <QTcpSocket>
#include <memory>

class QHttpServerResponse;

class DeferredReply
{
public:
    explicit DeferredReply(QHttpServerResponder &&responder);

    // Call on the event loop only.
    void send(const QHttpServerResponse &response) const;

private:
    struct State
    {
        explicit State(QHttpServerResponder &&responder) : responder(std::move(responder)) {}
        QHttpServerResponder responder;
        bool sent = false;
    };
    std::shared_ptr<State> m_state;
    QPointer<QTcpSocket> m_socket;
};
