#include "LoadWorker.h"

#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <openssl/ssl.h>
#include <sys/epoll.h>
#include <unistd.h>
#include <utility>

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
    m_clients.clear();
    if (m_epoll >= 0)
        ::close(m_epoll);
    SSL_CTX_free(m_tls);
}

void LoadWorker::connectAll()
{
    if (!m_poller) {
        m_tls = LeanWebSocket::newContext();
        if (!m_tls)
            qFatal("cannot make a TLS client context");
        m_epoll = epoll_create1(EPOLL_CLOEXEC);
        m_poller = new QSocketNotifier(m_epoll, QSocketNotifier::Read, this);
        connect(m_poller, &QSocketNotifier::activated, this, &LoadWorker::onSocketsReady);
    }
    while (m_inFlight < OpenAtOnce && m_nextToOpen < m_tokens.size())
        openNext();
}

void LoadWorker::openNext()
{
    const std::string auth = QStringLiteral("{\"type\":\"auth\",\"token\":\"%1\"}").arg(m_tokens.at(m_nextToOpen++)).toStdString();
    ++m_inFlight;
    Client *client = m_clients.emplace_back(std::make_unique<Client>()).get();
    client->socket = std::make_unique<LeanWebSocket>(
        m_tls, LeanWebSocket::Handlers{[client, auth] { client->socket->sendText(auth); },
                                       [this, client](std::string_view text) { onText(*client, text); },
                                       [this, client](const QString &why) {
                                           if (!client->settled && !std::exchange(m_failureReported, true))
                                               std::fprintf(stderr, "a client could not sign in: %s\n", qPrintable(why));
                                           settle(*client, false);
                                       }});
    if (client->socket->open(m_url.host(), quint16(m_url.port()), m_url.path().toLatin1()) >= 0)
        watch(*client);
}

void LoadWorker::settle(Client &client, bool ok)
{
    if (std::exchange(client.settled, true))
        return;
    (ok ? signedIn : failed).fetch_add(1);
    --m_inFlight;
    connectAll();
}

void LoadWorker::onSocketsReady()
{
    epoll_event events[256];
    const int ready = epoll_wait(m_epoll, events, std::size(events), 0);
    for (int i = 0; i < ready; ++i) {
        auto *client = static_cast<Client *>(events[i].data.ptr);
        client->socket->onReady();
        watch(*client);
    }
}

void LoadWorker::watch(Client &client)
{
    const int descriptor = client.socket->descriptor();
    const bool write = client.socket->wantsWrite();
    if (descriptor < 0 || (client.watched && client.watchingWrite == write))
        return; // a closed descriptor has left the set by itself
    epoll_event event{};
    event.events = EPOLLIN | (write ? EPOLLOUT : 0u);
    event.data.ptr = &client;
    epoll_ctl(m_epoll, client.watched ? EPOLL_CTL_MOD : EPOLL_CTL_ADD, descriptor, &event);
    client.watched = true;
    client.watchingWrite = write;
}

void LoadWorker::onText(Client &client, std::string_view text)
{
    if (!client.settled && text.find(R"("type":"hello")") != std::string_view::npos)
        settle(client, true);
    if (text.ends_with(R"("type":"presence"})")) {
        int listed = 0;
        for (size_t at = text.find(R"({"id":)"); at != std::string_view::npos; at = text.find(R"({"id":)", at + 1))
            ++listed;
        client.listed = std::max(client.listed, listed);
        return;
    }
    // Benchmark messages carry their send time: "bench <micros>".
    constexpr std::string_view marker = R"("content":"bench )";
    const size_t at = text.find(marker);
    if (at == std::string_view::npos)
        return;
    qint64 sentAt = 0;
    std::from_chars(text.data() + at + marker.size(), text.data() + text.size(), sentAt);
    m_latencies.push_back(nowMicros() - sentAt);
    delivered.fetch_add(1);
}

void LoadWorker::sendMessages(int count, double intervalMs, double offsetMs)
{
    if (count <= 0 || m_clients.empty())
        return;
    const qint64 startMicros = nowMicros() + qint64(offsetMs * 1000);
    // Sleeps until the next message is due: a timer ticking every millisecond would wake this
    // thread a thousand times a second, and each wake-up polls every one of its sockets.
    m_sendTimer = new QTimer(this);
    m_sendTimer->setTimerType(Qt::PreciseTimer);
    m_sendTimer->setSingleShot(true);
    auto next = std::make_shared<int>(0);
    const auto dueAt = [startMicros, intervalMs](int message) { return startMicros + qint64(message * intervalMs * 1000); };
    connect(m_sendTimer, &QTimer::timeout, this, [this, next, count, dueAt] {
        // Keeps to the schedule even when a tick comes late, so the offered rate stays fixed.
        while (*next < count && nowMicros() >= dueAt(*next)) {
            Client &client = *m_clients.at(size_t(*next) % m_clients.size());
            client.socket->sendText(R"({"type":"global","content":"bench )" + std::to_string(nowMicros()) + R"("})");
            watch(client);
            ++*next;
            sent.fetch_add(1);
        }
        if (*next < count)
            m_sendTimer->start(int(std::max<qint64>(0, (dueAt(*next) - nowMicros() + 999) / 1000)));
    });
    m_sendTimer->start(int(std::max<qint64>(0, (dueAt(0) - nowMicros() + 999) / 1000)));
}

int LoadWorker::heardOnline(int online) const
{
    return int(std::count_if(m_clients.cbegin(), m_clients.cend(), [online](const auto &client) { return client->listed >= online; }));
}

void LoadWorker::closeAll()
{
    for (const auto &client : m_clients)
        client->socket->abort();
    // The notifier belongs to this thread: it goes here, not with the worker on the main thread.
    delete std::exchange(m_poller, nullptr);
}

std::vector<qint64> LoadWorker::latencies(int phase) const
{
    const size_t begin = phase == 0 ? 0 : m_phaseStarts.at(size_t(phase - 1));
    const size_t end = size_t(phase) < m_phaseStarts.size() ? m_phaseStarts.at(size_t(phase)) : m_latencies.size();
    return {m_latencies.begin() + qsizetype(begin), m_latencies.begin() + qsizetype(end)};
}
