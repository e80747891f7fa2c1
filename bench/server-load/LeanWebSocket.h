#pragma once
// One client's TLS WebSocket connection without Qt's per-socket machinery. The benchmark keeps
// thousands of them on one thread: through QWebSocket each message received cost the client process
// about as much CPU as the server spent sending it, so on a two-core machine the measuring clients
// took the core the server needed. The owner polls the descriptor (epoll) and calls onReady() when it
// is readable or, while wantsWrite() says so, writable. The server's certificate is verified as the
// app verifies it: against the trusted CAs, for the host connected to.
#include <QByteArray>
#include <QString>
#include <functional>
#include <string>
#include <string_view>

using SSL = struct ssl_st;
using SSL_CTX = struct ssl_ctx_st;

class LeanWebSocket
{
public:
    struct Handlers
    {
        std::function<void()> opened; // the server accepted the upgrade
        std::function<void(std::string_view)> text; // one whole text message
        std::function<void(const QString &why)> closed; // closed or failed; at most once
    };

    // A client context trusting the CAs Qt's default TLS configuration trusts, or null.
    static SSL_CTX *newContext();

    LeanWebSocket(SSL_CTX *context, Handlers handlers);
    ~LeanWebSocket();
    LeanWebSocket(const LeanWebSocket &) = delete;
    LeanWebSocket &operator=(const LeanWebSocket &) = delete;

    // Starts connecting to wss://host:port/path (host an IPv4 address); the descriptor to poll, or -1
    // after reporting the failure through `closed`.
    int open(const QString &host, quint16 port, const QByteArray &path);
    void onReady();
    // The descriptor being polled; -1 once closed (closing took it out of any epoll set).
    int descriptor() const { return m_fd; }
    bool wantsWrite() const;
    void sendText(std::string_view text);
    void abort();

private:
    enum class Stage { Connecting, Handshaking, Upgrading, Open, Closed };

    void fail(const QString &why);
    bool handshake();
    bool flush();
    void receive();
    void readUpgrade();
    void readFrames();
    void queueFrame(unsigned char opcode, std::string_view payload);

    SSL_CTX *m_context;
    Handlers m_handlers;
    SSL *m_ssl = nullptr;
    int m_fd = -1;
    Stage m_stage = Stage::Closed;
    bool m_tlsWantsWrite = false;
    std::string m_in;
    std::string m_out;
    std::string m_fragments; // a text message that came in more than one frame
    QByteArray m_request;
    QByteArray m_expectedAccept;
    bool m_reported = false;
};
