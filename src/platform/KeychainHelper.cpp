#include "KeychainHelper.h"

#include "AppPaths.h"
#include "FileKeychainBackend.h"
#include "QtKeychainBackend.h"

#include <QCoreApplication>
#include <QStringList>
#include <QVariant>

namespace {
struct Notices
{
    QMutex mutex;
    std::function<void(const QString &)> handler;
    QStringList pending;
};

Notices &notices()
{
    static Notices instance;
    return instance;
}

QString applicationId()
{
    // The desktop file name is the application id on Linux (QGuiApplication's property; read
    // through the meta-object so the platform layer needs no GUI module).
    if (const QCoreApplication *app = QCoreApplication::instance()) {
        const QString id = app->property("desktopFileName").toString();
        if (!id.isEmpty())
            return id;
    }
    return QStringLiteral("com.zephlin.app");
}
} // namespace

KeychainHelper &KeychainHelper::shared()
{
    static KeychainHelper helper;
    return helper;
}

KeychainHelper::KeychainHelper() : m_service(applicationId()), m_backend(chooseBackend()) {}

std::unique_ptr<KeychainBackend> KeychainHelper::chooseBackend()
{
    const QString forced = qEnvironmentVariable("ZEPHLIN_KEYCHAIN");
    if (forced == QStringLiteral("secret-service")
        || (forced != QStringLiteral("file") && QtKeychainBackend::serviceAvailable()))
        return std::make_unique<QtKeychainBackend>();
    auto files = std::make_unique<FileKeychainBackend>(AppPaths::dataDir() + QStringLiteral("/keychain"));
    notice(QStringLiteral("keychain: no keychain service in use, secrets are kept in device-local files under ")
           + files->directory());
    return files;
}

QString KeychainHelper::backendName() const
{
    QMutexLocker lock(&m_mutex);
    return m_backend->name();
}

void KeychainHelper::setBackend(std::unique_ptr<KeychainBackend> backend)
{
    QMutexLocker lock(&m_mutex);
    m_backend = std::move(backend);
    m_items.clear();
}

bool KeychainHelper::save(const QByteArray &data, const QString &account)
{
    QMutexLocker lock(&m_mutex);
    // The old item goes first, whatever its delete answers: a refused write then leaves no item,
    // never the previous one (a second account's failed sign-in must not restore the first's session).
    m_items.remove(account);
    m_backend->remove(m_service, account);
    if (!m_backend->write(m_service, account, data))
        return false;
    m_items.insert(account, data);
    return true;
}

std::optional<QByteArray> KeychainHelper::readData(const QString &account)
{
    QMutexLocker lock(&m_mutex);
    const auto held = m_items.constFind(account);
    if (held != m_items.constEnd())
        return *held;
    std::optional<QByteArray> data = m_backend->read(m_service, account);
    if (data)
        m_items.insert(account, *data);
    return data;
}

bool KeychainHelper::remove(const QString &account)
{
    QMutexLocker lock(&m_mutex);
    m_items.remove(account);
    return m_backend->remove(m_service, account);
}

void KeychainHelper::setNoticeHandler(std::function<void(const QString &)> handler)
{
    Notices &state = notices();
    QStringList waiting;
    {
        QMutexLocker lock(&state.mutex);
        state.handler = handler;
        waiting.swap(state.pending);
    }
    for (const QString &text : waiting)
        handler(text);
}

void KeychainHelper::notice(const QString &text)
{
    Notices &state = notices();
    std::function<void(const QString &)> handler;
    {
        QMutexLocker lock(&state.mutex);
        if (!state.handler) {
            state.pending.append(text);
            return;
        }
        handler = state.handler;
    }
    handler(text);
}
