#pragma once
// A store of small secrets keyed by (service, account). KeychainHelper talks to one of these:
// the platform keychain when one answers, otherwise a device-local file store.
#include <QByteArray>
#include <QString>
#include <optional>

class KeychainBackend
{
public:
    virtual ~KeychainBackend() = default;

    // "secret-service", "file", ... for diagnostics.
    virtual QString name() const = 0;

    // Replaces any item of this service and account; true only when the new item is stored.
    virtual bool write(const QString &service, const QString &account, const QByteArray &data) = 0;
    // Nothing for a missing item and for any failure.
    virtual std::optional<QByteArray> read(const QString &service, const QString &account) = 0;
    // True when the item is gone afterwards, including when it never existed.
    virtual bool remove(const QString &service, const QString &account) = 0;
};
