#include "NotificationCenter.h"

#include <QCoreApplication>
#include <QThread>

NotificationCenter &NotificationCenter::shared()
{
    static NotificationCenter *center = new NotificationCenter;
    return *center;
}

NotificationCenter::NotificationCenter()
{
    // Whoever asks first, the centre belongs to the main thread so that delivery happens there.
    if (QCoreApplication *app = QCoreApplication::instance(); app && thread() != app->thread())
        moveToThread(app->thread());
}

void NotificationCenter::post(const QString &name, const QVariant &object)
{
    if (QThread::currentThread() == thread()) {
        Q_EMIT posted(name, object);
        return;
    }
    QMetaObject::invokeMethod(this, [this, name, object] { Q_EMIT posted(name, object); }, Qt::QueuedConnection);
}

QMetaObject::Connection NotificationCenter::observe(const QString &name, QObject *context,
                                                    std::function<void(const QVariant &)> handler)
{
    return connect(this, &NotificationCenter::posted, context,
                   [name, handler = std::move(handler)](const QString &postedName, const QVariant &object) {
                       if (postedName == name)
                           handler(object);
                   });
}
