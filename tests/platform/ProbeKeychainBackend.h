#pragma once
// A keychain store for tests: a real file store that counts reads and can refuse writes.
#include "FileKeychainBackend.h"

class ProbeKeychainBackend : public KeychainBackend
{
public:
    explicit ProbeKeychainBackend(const QString &dir) : m_files(dir) {}
    QString name() const override { return QStringLiteral("probe"); }
    bool write(const QString &service, const QString &account, const QByteArray &data) override
    {
        return !refuseWrites && m_files.write(service, account, data);
    }
    std::optional<QByteArray> read(const QString &service, const QString &account) override
    {
        ++reads;
        return m_files.read(service, account);
    }
    bool remove(const QString &service, const QString &account) override { return m_files.remove(service, account); }

    bool refuseWrites = false;
    int reads = 0;

private:
    FileKeychainBackend m_files;
};
