#include "LeanWebSocket.h"

#include <QCryptographicHash>
#include <QHostAddress>
#include <QList>
#include <QRandomGenerator>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr unsigned char ContinuationFrame = 0x0;
constexpr unsigned char TextFrame = 0x1;
constexpr unsigned char CloseFrame = 0x8;
constexpr unsigned char PingFrame = 0x9;
constexpr unsigned char PongFrame = 0xA;
// Far above anything the server sends (a presence list of thousands is a few hundred KiB): a frame
// that claims more is garbage, not something to allocate for.
constexpr quint64 MaxFrameBytes = 64 << 20;
constexpr size_t MaxUpgradeResponse = 16 << 10;

// The oldest queued OpenSSL error, and an empty queue after it: a stale error would make the next
// connection's SSL_get_error() misreport, since all of them share this thread's queue.
QString tlsError()
{
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0)
        return QStringLiteral("the connection was reset");
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return QString::fromLatin1(text);
}

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}
} // namespace

SSL_CTX *LeanWebSocket::newContext()
{
    SSL_CTX *context = SSL_CTX_new(TLS_client_method());
    if (!context)
        return nullptr;
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    X509_STORE *store = SSL_CTX_get_cert_store(context);
    const QList<QSslCertificate> authorities = QSslConfiguration::defaultConfiguration().caCertificates();
    for (const QSslCertificate &authority : authorities) {
        const QByteArray der = authority.toDer();
        const auto *bytes = reinterpret_cast<const unsigned char *>(der.constData());
        if (X509 *certificate = d2i_X509(nullptr, &bytes, der.size())) {
            X509_STORE_add_cert(store, certificate); // a certificate listed twice is refused, harmlessly
            X509_free(certificate);
        }
    }
    ERR_clear_error();
    return context;
}

LeanWebSocket::LeanWebSocket(SSL_CTX *context, Handlers handlers) : m_context(context), m_handlers(std::move(handlers))
{
}

LeanWebSocket::~LeanWebSocket()
{
    abort();
}

int LeanWebSocket::open(const QString &host, quint16 port, const QByteArray &path)
{
    bool isIPv4 = false;
    const quint32 address = QHostAddress(host).toIPv4Address(&isIPv4);
    if (!isIPv4) {
        fail(QStringLiteral("not an IPv4 address: %1").arg(host));
        return -1;
    }
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0) {
        fail(systemError(errno));
        return -1;
    }
    m_stage = Stage::Connecting;
    const int on = 1;
    setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = htonl(address);
    if (::connect(m_fd, reinterpret_cast<const sockaddr *>(&peer), sizeof peer) != 0 && errno != EINPROGRESS) {
        fail(systemError(errno));
        return -1;
    }
    m_ssl = SSL_new(m_context);
    SSL_set_fd(m_ssl, m_fd);
    X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(m_ssl), host.toLatin1().constData());

    quint32 nonce[4];
    QRandomGenerator::global()->fillRange(nonce);
    const QByteArray key = QByteArray(reinterpret_cast<const char *>(nonce), sizeof nonce).toBase64();
    m_expectedAccept = QCryptographicHash::hash(key + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11", QCryptographicHash::Sha1).toBase64();
    m_request = "GET " + path + " HTTP/1.1\r\nHost: " + host.toLatin1() + ':' + QByteArray::number(port) +
                "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: 13\r\nSec-WebSocket-Key: " + key +
                "\r\n\r\n";
    return m_fd;
}

void LeanWebSocket::onReady()
{
    if (m_stage == Stage::Connecting) {
        int error = 0;
        socklen_t length = sizeof error;
        getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length);
        if (error != 0)
            return fail(systemError(error));
        m_stage = Stage::Handshaking;
    }
    if (m_stage == Stage::Handshaking && !handshake())
        return;
    if (m_stage != Stage::Closed && flush())
        receive();
}

bool LeanWebSocket::wantsWrite() const
{
    return m_stage == Stage::Connecting || (m_stage != Stage::Closed && m_tlsWantsWrite);
}

void LeanWebSocket::sendText(std::string_view text)
{
    if (m_stage != Stage::Open)
        return;
    queueFrame(TextFrame, text);
    flush();
}

void LeanWebSocket::abort()
{
    if (m_ssl)
        SSL_free(m_ssl);
    m_ssl = nullptr;
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_stage = Stage::Closed;
}

void LeanWebSocket::fail(const QString &why)
{
    if (m_reported)
        return;
    m_reported = true;
    abort();
    if (m_handlers.closed)
        m_handlers.closed(why);
}

bool LeanWebSocket::handshake()
{
    const int result = SSL_connect(m_ssl);
    if (result == 1) {
        m_stage = Stage::Upgrading;
        m_out.append(m_request.constData(), size_t(m_request.size()));
        return true;
    }
    const int error = SSL_get_error(m_ssl, result);
    if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
        m_tlsWantsWrite = error == SSL_ERROR_WANT_WRITE;
        return false;
    }
    const long verified = SSL_get_verify_result(m_ssl);
    fail(verified != X509_V_OK ? QStringLiteral("the server's certificate is not trusted: %1")
                                     .arg(QString::fromLatin1(X509_verify_cert_error_string(verified)))
                               : tlsError());
    return false;
}

bool LeanWebSocket::flush()
{
    m_tlsWantsWrite = false;
    while (!m_out.empty()) {
        const int written = SSL_write(m_ssl, m_out.data(), int(m_out.size()));
        if (written > 0) {
            m_out.erase(0, size_t(written));
            continue;
        }
        const int error = SSL_get_error(m_ssl, written);
        if (error == SSL_ERROR_WANT_WRITE || error == SSL_ERROR_WANT_READ) {
            m_tlsWantsWrite = error == SSL_ERROR_WANT_WRITE;
            return true;
        }
        fail(tlsError());
        return false;
    }
    return true;
}

void LeanWebSocket::receive()
{
    char buffer[16384];
    QString ended;
    for (;;) {
        const int read = SSL_read(m_ssl, buffer, sizeof buffer);
        if (read > 0) {
            m_in.append(buffer, size_t(read));
            continue;
        }
        const int error = SSL_get_error(m_ssl, read);
        if (error == SSL_ERROR_WANT_WRITE)
            m_tlsWantsWrite = true;
        else if (error == SSL_ERROR_ZERO_RETURN)
            ended = QStringLiteral("the server closed the connection");
        else if (error != SSL_ERROR_WANT_READ)
            ended = tlsError();
        break;
    }
    // What came before the end of the stream still counts.
    if (m_stage == Stage::Upgrading)
        readUpgrade();
    if (m_stage == Stage::Open)
        readFrames();
    if (!ended.isEmpty())
        fail(ended);
}

void LeanWebSocket::readUpgrade()
{
    const size_t end = m_in.find("\r\n\r\n");
    if (end == std::string::npos) {
        if (m_in.size() > MaxUpgradeResponse)
            fail(QStringLiteral("the upgrade response has no end"));
        return;
    }
    const QList<QByteArray> lines = QByteArray(m_in.data(), qsizetype(end)).split('\n');
    bool accepted = false;
    for (const QByteArray &line : lines) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().compare("sec-websocket-accept", Qt::CaseInsensitive) == 0)
            accepted = line.mid(colon + 1).trimmed() == m_expectedAccept;
    }
    if (!lines.first().startsWith("HTTP/1.1 101") || !accepted) {
        fail(QStringLiteral("the server refused the upgrade: %1").arg(QString::fromLatin1(lines.first().trimmed())));
        return;
    }
    m_in.erase(0, end + 4);
    m_stage = Stage::Open;
    if (m_handlers.opened)
        m_handlers.opened();
}

void LeanWebSocket::readFrames()
{
    size_t at = 0;
    while (m_stage == Stage::Open && m_in.size() - at >= 2) {
        const size_t available = m_in.size() - at;
        const auto *bytes = reinterpret_cast<const unsigned char *>(m_in.data() + at);
        const bool final = (bytes[0] & 0x80) != 0;
        const unsigned char opcode = bytes[0] & 0x0f;
        if ((bytes[1] & 0x80) != 0) {
            fail(QStringLiteral("the server sent a masked frame"));
            return;
        }
        quint64 length = bytes[1] & 0x7f;
        size_t header = 2;
        if (length == 126) {
            header = 4;
            if (available < header)
                break;
            length = quint64(bytes[2]) << 8 | bytes[3];
        } else if (length == 127) {
            header = 10;
            if (available < header)
                break;
            length = 0;
            for (size_t i = 2; i < header; ++i)
                length = length << 8 | bytes[i];
        }
        if (length > MaxFrameBytes) {
            fail(QStringLiteral("the server sent a frame of %1 bytes").arg(length));
            return;
        }
        if (available - header < length)
            break;
        const std::string_view payload(m_in.data() + at + header, size_t(length));
        at += header + size_t(length);
        switch (opcode) {
        case TextFrame:
            if (final)
                m_handlers.text(payload);
            else
                m_fragments.assign(payload);
            break;
        case ContinuationFrame:
            m_fragments.append(payload);
            if (final) {
                m_handlers.text(m_fragments);
                m_fragments.clear();
            }
            break;
        case PingFrame:
            queueFrame(PongFrame, payload);
            break;
        case CloseFrame:
            fail(QStringLiteral("the server closed the connection"));
            return;
        default: // pongs and binary frames mean nothing here
            break;
        }
    }
    if (m_stage != Stage::Open)
        return;
    m_in.erase(0, at);
    if (!m_out.empty())
        flush(); // the pongs
}

void LeanWebSocket::queueFrame(unsigned char opcode, std::string_view payload)
{
    const size_t length = payload.size();
    m_out.push_back(char(0x80 | opcode));
    if (length < 126) {
        m_out.push_back(char(0x80 | length));
    } else if (length <= 0xffff) {
        m_out.push_back(char(0x80 | 126));
        m_out.push_back(char(length >> 8));
        m_out.push_back(char(length & 0xff));
    } else {
        m_out.push_back(char(0x80 | 127));
        for (int shift = 56; shift >= 0; shift -= 8)
            m_out.push_back(char((quint64(length) >> shift) & 0xff));
    }
    const quint32 maskKey = QRandomGenerator::global()->generate(); // a client masks every frame it sends
    char mask[4];
    std::memcpy(mask, &maskKey, sizeof mask);
    m_out.append(mask, sizeof mask);
    const size_t start = m_out.size();
    m_out.append(payload);
    for (size_t i = 0; i < length; ++i)
        m_out[start + i] = char(m_out[start + i] ^ mask[i % 4]);
}
