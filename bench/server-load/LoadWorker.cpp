#include "LoadWorker.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QWebSocket>
#include <algorithm>
#include <chrono>

namespace {
// Opening every socket at once would overflow the server's listen backlog and time the retries.
constexpr int OpenAtOnce = 25;

qint64 nowMicros()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
} // namespace

LoadWorker::LoadWorker(QUrl url, QStringList tokens, QObject *parent)
    : QObject(parent), m_url(std::move(url)), m_tokens(std::move(tokens))
{
    m_latencies.reserve(1 << 20);
}

LoadWorker::~LoadWorker()
{
    qDeleteAll(m_sockets);
}

void LoadWorker::connectAll()
{
    while (m_inFlight < OpenAtOnce && m_nextToOpen < m_tokens.size())
        openNext();
}

void LoadWorker::openNext()
{
    const QString token = m_tokens.at(m_nextToOpen++);
    ++m_inFlight;
    auto *socket = new QWebSocket();
    m_sockets << socket;
    auto settled = std::make_shared<bool>(false);
    const auto settle = [this, settled](bool ok) {
        if (*settled)
            return;
        *settled = true;
        (ok ? signedIn : failed).fetch_add(1);
        --m_inFlight;
        connectAll();
    };
    connect(socket, &QWebSocket::connected, this, [socket, token] {
        socket->sendTextMessage(QStringLiteral("{\"type\":\"auth\",\"token\":\"%1\"}").arg(token));
    });
    connect(socket, &QWebSocket::textMessageReceived, this, [this, socket, settle, settled](const QString &text) {
        if (!*settled && text.contains(QLatin1String("\"type\":\"hello\"")))
            settle(true);
        onText(socket, text);
    });
    connect(socket, &QWebSocket::disconnected, this, [settle] { settle(false); });
    socket->open(m_url);
}

void LoadWorker::onText(QWebSocket *socket, const QString &text)
{
    if (text.endsWith(QLatin1String("\"type\":\"presence\"}"))) {
        int &listed = m_listed[socket];
        listed = std::max(listed, int(text.count(QLatin1String("{\"id\":"))));
        return;
    }
    // Benchmark messages carry their send time: "bench <micros>".
    const qsizetype at = text.indexOf(QLatin1String("\"content\":\"bench "));
    if (at < 0)
        return;
    const qsizetype start = at + 17;
    const qint64 sentAt = text.mid(start, text.indexOf(u'"', start) - start).toLongLong();
    m_latencies.push_back(nowMicros() - sentAt);
    delivered.fetch_add(1);
}

void LoadWorker::sendMessages(int count, double intervalMs, double offsetMs)
{
    if (count <= 0 || m_sockets.isEmpty())
        return;
    const qint64 startMicros = nowMicros() + qint64(offsetMs * 1000);
    m_sendTimer = new QTimer(this);
    m_sendTimer->setTimerType(Qt::PreciseTimer);
    m_sendTimer->setInterval(1);
    auto next = std::make_shared<int>(0);
    connect(m_sendTimer, &QTimer::timeout, this, [this, next, count, intervalMs, startMicros] {
        // Keeps to the schedule even when a tick comes late, so the offered rate stays fixed.
        while (*next < count && nowMicros() >= startMicros + qint64(*next * intervalMs * 1000)) {
            QWebSocket *socket = m_sockets.at(*next % m_sockets.size());
            socket->sendTextMessage(QStringLiteral("{\"type\":\"global\",\"content\":\"bench %1\"}").arg(nowMicros()));
            ++*next;
            sent.fetch_add(1);
        }
        if (*next >= count)
            m_sendTimer->stop();
    });
    m_sendTimer->start();
}

int LoadWorker::heardOnline(int online) const
{
    return int(std::count_if(m_listed.cbegin(), m_listed.cend(), [online](int listed) { return listed >= online; }));
}

void LoadWorker::closeAll()
{
    for (QWebSocket *socket : std::as_const(m_sockets))
        socket->abort();
}

std::vector<qint64> LoadWorker::latencies(int phase) const
{
    const size_t begin = phase == 0 ? 0 : m_phaseStarts.at(size_t(phase - 1));
    const size_t end = size_t(phase) < m_phaseStarts.size() ? m_phaseStarts.at(size_t(phase)) : m_latencies.size();
    return {m_latencies.begin() + qsizetype(begin), m_latencies.begin() + qsizetype(end)};
}
