#include "QtKeychainBackend.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QSemaphore>
#include <QThread>
#include <qt6keychain/keychain.h>
#include <memory>

namespace {
// A Secret Service call that hangs (an unanswered unlock prompt) must not hang the program.
constexpr int jobTimeoutMs = 30000;

// QtKeychain hands every job to one executor object that lives in the thread of the first job, so
// all jobs of the process run on one thread. It lives as long as the process.
QObject *keychainThreadContext()
{
    static QObject *context = [] {
        auto *thread = new QThread;
        thread->setObjectName(QStringLiteral("keychain"));
        auto *object = new QObject;
        object->moveToThread(thread);
        thread->start();
        return object;
    }();
    return context;
}
} // namespace

bool QtKeychainBackend::serviceAvailable()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    ask << QStringLiteral("org.freedesktop.secrets");
    const QDBusMessage reply = bus.call(ask, QDBus::Block, 2000);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
           && reply.arguments().constFirst().toBool();
}

QtKeychainBackend::Outcome QtKeychainBackend::run(const std::function<QKeychain::Job *()> &makeJob)
{
    struct Pending
    {
        QSemaphore done;
        Outcome outcome;
    };
    // Shared with the worker so that a job finishing after a timeout writes into live memory.
    auto pending = std::make_shared<Pending>();
    QMetaObject::invokeMethod(keychainThreadContext(), [pending, makeJob] {
        QKeychain::Job *job = makeJob();
        job->setAutoDelete(true);
        QObject::connect(job, &QKeychain::Job::finished, job, [pending](QKeychain::Job *finished) {
            pending->outcome.finished = true;
            pending->outcome.error = finished->error();
            if (auto *reader = qobject_cast<QKeychain::ReadPasswordJob *>(finished))
                pending->outcome.data = reader->binaryData();
            pending->done.release();
        });
        job->start();
    });
    if (!pending->done.tryAcquire(1, jobTimeoutMs))
        return {};
    return pending->outcome;
}

bool QtKeychainBackend::write(const QString &service, const QString &account, const QByteArray &data)
{
    const Outcome outcome = run([service, account, data] {
        auto *job = new QKeychain::WritePasswordJob(service);
        job->setKey(account);
        job->setBinaryData(data);
        return job;
    });
    return outcome.finished && outcome.error == QKeychain::NoError;
}

std::optional<QByteArray> QtKeychainBackend::read(const QString &service, const QString &account)
{
    const Outcome outcome = run([service, account] {
        auto *job = new QKeychain::ReadPasswordJob(service);
        job->setKey(account);
        return job;
    });
    if (!outcome.finished || outcome.error != QKeychain::NoError)
        return std::nullopt;
    return outcome.data;
}

bool QtKeychainBackend::remove(const QString &service, const QString &account)
{
    const Outcome outcome = run([service, account] {
        auto *job = new QKeychain::DeletePasswordJob(service);
        job->setKey(account);
        return job;
    });
    return outcome.finished && (outcome.error == QKeychain::NoError || outcome.error == QKeychain::EntryNotFound);
}
