#pragma once
// The process-wide notification centre: named notifications with an optional object, delivered to
// observers on the main thread. A post made on the main thread reaches the observers before post()
// returns; a post from another thread is handed over to the main thread.
#include <QObject>
#include <QString>
#include <QVariant>
#include <functional>

class NotificationCenter : public QObject
{
    Q_OBJECT

public:
    static NotificationCenter &shared();

    // An absent object is an invalid QVariant.
    Q_INVOKABLE void post(const QString &name, const QVariant &object = QVariant());

    // Calls handler for every notification of that name while context exists (the connection dies
    // with the context, so observers are held weakly).
    QMetaObject::Connection observe(const QString &name, QObject *context,
                                    std::function<void(const QVariant &object)> handler);

Q_SIGNALS:
    void posted(const QString &name, const QVariant &object);

private:
    NotificationCenter();
};
