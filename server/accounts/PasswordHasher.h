#pragma once
// Argon2id password hashes in the self-describing encoded form, so that a cost change later keeps old
// hashes verifiable.
#include <QByteArray>
#include <QString>
#include <functional>

class PasswordHasher
{
public:
    struct Cost
    {
        quint32 iterations = 2;
        quint32 memoryKiB = 19 * 1024;
        quint32 lanes = 1;
    };

    // Told of each stored hash about to be checked, on the thread that checks it: lets a test see that
    // every sign-in, for a known name or not, pays for one full check.
    using Witness = std::function<void(const QString &encoded)>;

    PasswordHasher() = default;
    explicit PasswordHasher(Cost cost, Witness witness = {}) : m_cost(cost), m_witness(std::move(witness)) {}

    // Empty on failure (out of memory): callers refuse the operation rather than store no hash.
    QString hash(const QString &password) const;
    bool verify(const QString &password, const QString &encoded) const;

    // A cheap cost for tests and load benchmarks that create many accounts.
    static Cost testCost() { return Cost{1, 256, 1}; }

private:
    Cost m_cost;
    Witness m_witness;
};
