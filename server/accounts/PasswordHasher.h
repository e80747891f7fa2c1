#pragma once
// Argon2id password hashes in the self-describing encoded form, so that a cost change later keeps old
// hashes verifiable.
#include <QByteArray>
#include <QString>

class PasswordHasher
{
public:
    struct Cost
    {
        quint32 iterations = 2;
        quint32 memoryKiB = 19 * 1024;
        quint32 lanes = 1;
    };

    PasswordHasher() = default;
    explicit PasswordHasher(Cost cost) : m_cost(cost) {}

    // Empty on failure (out of memory): callers refuse the operation rather than store no hash.
    QString hash(const QString &password) const;
    bool verify(const QString &password, const QString &encoded) const;

    // A cheap cost for tests and load benchmarks that create many accounts.
    static Cost testCost() { return Cost{1, 256, 1}; }

private:
    Cost m_cost;
};
