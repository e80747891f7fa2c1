#pragma once
// A share of the benchmark's clients, on a thread of its own: opens and signs in its sockets, sends
// its share of the hall messages on a fixed schedule, and records the delay of every delivery. The
// sockets are polled through one epoll set, so a wake-up costs what is ready, not every socket.
#include "LeanWebSocket.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <atomic>
#include <memory>
#include <string_view>
#include <vector>

class QSocketNotifier;
class QTimer;

class LoadWorker : public QObject
{
    Q_OBJECT
public:
    LoadWorker(QUrl url, QStringList tokens, QObject *parent = nullptr);
    ~LoadWorker() override;

    // Thread-safe progress counters, read by the main thread.
    std::atomic<int> signedIn{0};
    std::atomic<int> failed{0};
    std::atomic<qint64> delivered{0};
    std::atomic<int> sent{0};

    // Run on the worker's thread (queued calls).
    void connectAll();
    // Sends `count` messages, one every `intervalMs`, starting after `offsetMs`.
    void sendMessages(int count, double intervalMs, double offsetMs);
    void closeAll();
    // How many of the sockets have heard a presence list of at least `online` users.
    int heardOnline(int online) const;
    // Later deliveries belong to the next phase of the run.
    void markPhase() { m_phaseStarts.push_back(m_latencies.size()); }

    // Delivery delays in microseconds of one phase (0: before the first mark); read only after the
    // thread has stopped.
    std::vector<qint64> latencies(int phase) const;

private:
    struct Client
    {
        std::unique_ptr<LeanWebSocket> socket;
        bool settled = false; // signed in or failed
        bool watched = false;
        bool watchingWrite = false;
        int listed = 0; // the longest presence list heard
    };

    void openNext();
    void settle(Client &client, bool ok);
    void onText(Client &client, std::string_view text);
    void onSocketsReady();
    // Keeps the epoll interest in step with what the socket waits for.
    void watch(Client &client);

    QUrl m_url;
    QStringList m_tokens;
    std::vector<std::unique_ptr<Client>> m_clients;
    SSL_CTX *m_tls = nullptr;
    int m_epoll = -1;
    QSocketNotifier *m_poller = nullptr; // on the epoll set, which is readable while a socket is ready
    int m_nextToOpen = 0;
    int m_inFlight = 0;
    bool m_failureReported = false;
    std::vector<qint64> m_latencies;
    std::vector<size_t> m_phaseStarts;
    QTimer *m_sendTimer = nullptr;
};
