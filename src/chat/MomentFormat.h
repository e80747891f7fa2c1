#pragma once
// How the moments feed lays out a post, as pure rules the feed screen calls: the time label, the
// grid its images take and who may delete what. QML: MomentFormat.
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

class MomentFormat : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    struct Grid
    {
        int columns = 1;
        int cell = 200;
    };

    explicit MomentFormat(QObject *parent = nullptr);

    // "刚刚" under a minute (and for times ahead of now), then minutes, hours and days ago; from
    // seven days on the date as "MM-dd HH:mm" in the device time zone.
    static QString relativeTime(qint64 timeMs, qint64 nowMs);
    // One image: a 200-point square; two: 2 columns of 90; more: 3 columns of 90.
    static Grid imageGrid(int count);
    // Comments can be deleted by whoever wrote them and by the author of the moment.
    static bool canDeleteComment(const QString &commentUser, const QString &momentAuthor, const QString &userId);

    // The label against the clock of now.
    Q_INVOKABLE static QString timeLabel(qint64 timeMs);
    // {columns, cell} for QML.
    Q_INVOKABLE static QVariantMap gridFor(int count);
    Q_INVOKABLE static bool commentDeletable(const QString &commentUser, const QString &momentAuthor,
                                             const QString &userId)
    {
        return canDeleteComment(commentUser, momentAuthor, userId);
    }
    // Comments carry no id of their own; the server knows them by user, text and time.
    Q_INVOKABLE static QString commentId(const QString &user, const QString &text, qint64 timeMs);
    // The signed-in user's id as stored, read afresh at every call.
    Q_INVOKABLE static QString currentUserId();
};
