#pragma once
// The device-local stand-in for a keychain: one file per (service, account) in a private folder
// (0700), each file 0600, written atomically. Used where no keychain service answers.
#include "KeychainBackend.h"

class FileKeychainBackend : public KeychainBackend
{
public:
    explicit FileKeychainBackend(const QString &directory);

    QString name() const override { return QStringLiteral("file"); }
    QString directory() const { return m_directory; }

    bool write(const QString &service, const QString &account, const QByteArray &data) override;
    std::optional<QByteArray> read(const QString &service, const QString &account) override;
    bool remove(const QString &service, const QString &account) override;

private:
    QString itemPath(const QString &service, const QString &account) const;

    QString m_directory;
};
