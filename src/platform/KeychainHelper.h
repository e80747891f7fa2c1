#pragma once
// Short binary secrets in the keychain under an account name ("zp_token", "zp_db_key").
// The interface is synchronous. The backend is chosen once, at first use: ZEPHLIN_KEYCHAIN=file or
// =secret-service forces one; otherwise the Secret Service is used when it answers on the session
// bus, else device-local files. Items read or written are kept in memory, so only the first read of
// an account reaches the backend; save and remove keep that copy consistent.
#include "KeychainBackend.h"

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class KeychainHelper
{
public:
    static KeychainHelper &shared();

    // Deletes the item, then adds the new one; true only when the new item is stored. After a
    // refused add there is no item at all.
    bool save(const QByteArray &data, const QString &account);
    // Nothing for a missing item and for any failure.
    std::optional<QByteArray> readData(const QString &account);
    // The keychain "delete" (a C++ keyword): true when the item is gone, also when it never existed.
    bool remove(const QString &account);

    // The application id (the desktop file name when one is set), else "com.zephlin.app".
    QString service() const { return m_service; }
    QString backendName() const;

    // Replaces the backend and forgets every item held in memory (tests inject failing stores here).
    void setBackend(std::unique_ptr<KeychainBackend> backend);

    // Where one-time notices go (the backend in use). The platform layer cannot see the logs, so the
    // logger installs itself here; notices raised before that are kept and handed over then.
    static void setNoticeHandler(std::function<void(const QString &)> handler);

private:
    KeychainHelper();
    static std::unique_ptr<KeychainBackend> chooseBackend();
    static void notice(const QString &text);

    mutable QMutex m_mutex;
    QString m_service;
    std::unique_ptr<KeychainBackend> m_backend;
    QHash<QString, QByteArray> m_items;
};
