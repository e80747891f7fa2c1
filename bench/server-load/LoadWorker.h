#pragma once
// A share of the benchmark's clients, on a thread of its own: opens and signs in its sockets, sends
// its share of the hall messages on a fixed schedule, and records the delay of every delivery.
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <atomic>
#include <vector>

class QTimer;
class QWebSocket;

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
    void openNext();
    void onText(QWebSocket *socket, const QString &text);

    QUrl m_url;
    QStringList m_tokens;
    QList<QWebSocket *> m_sockets;
    QHash<QWebSocket *, int> m_listed; // the longest presence list each socket heard
    int m_nextToOpen = 0;
    int m_inFlight = 0;
    std::vector<qint64> m_latencies;
    std::vector<size_t> m_phaseStarts;
    QTimer *m_sendTimer = nullptr;
};
