#pragma once
// The platform keychain through QtKeychain (the Secret Service on Linux).
// QtKeychain jobs are asynchronous. They run on one keychain thread with its own event loop while
// the caller blocks on a semaphore, so no nested event loop ever runs on the caller's thread.
#include "KeychainBackend.h"

#include <functional>

namespace QKeychain {
class Job;
}

class QtKeychainBackend : public KeychainBackend
{
public:
    // True when a Secret Service is registered on the session bus.
    static bool serviceAvailable();

    QString name() const override { return QStringLiteral("secret-service"); }

    bool write(const QString &service, const QString &account, const QByteArray &data) override;
    std::optional<QByteArray> read(const QString &service, const QString &account) override;
    bool remove(const QString &service, const QString &account) override;

private:
    struct Outcome
    {
        bool finished = false;
        int error = 0; // QKeychain::Error
        QByteArray data;
    };
    // Creates the job on the worker thread, starts it and waits for it to finish.
    static Outcome run(const std::function<QKeychain::Job *()> &makeJob);
};
