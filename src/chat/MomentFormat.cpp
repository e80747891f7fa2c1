#include "MomentFormat.h"

#include "ChatViewModel.h"
#include "MomentComment.h"

#include <QDateTime>
#include <QTimeZone>

MomentFormat::MomentFormat(QObject *parent) : QObject(parent) {}

QString MomentFormat::relativeTime(qint64 timeMs, qint64 nowMs)
{
    constexpr qint64 minute = 60'000;
    constexpr qint64 hour = 60 * minute;
    constexpr qint64 day = 24 * hour;
    const qint64 d = nowMs - timeMs;
    if (d < minute)
        return QStringLiteral("刚刚");
    if (d < hour)
        return QString::number(d / minute) + QStringLiteral("分钟前");
    if (d < day)
        return QString::number(d / hour) + QStringLiteral("小时前");
    if (d < 7 * day)
        return QString::number(d / day) + QStringLiteral("天前");
    return QDateTime::fromMSecsSinceEpoch(timeMs, QTimeZone::systemTimeZone()).toString(QStringLiteral("MM-dd HH:mm"));
}

MomentFormat::Grid MomentFormat::imageGrid(int count)
{
    if (count <= 1)
        return {1, 200};
    return {count == 2 ? 2 : 3, 90};
}

bool MomentFormat::canDeleteComment(const QString &commentUser, const QString &momentAuthor, const QString &userId)
{
    return commentUser == userId || momentAuthor == userId;
}

QString MomentFormat::timeLabel(qint64 timeMs)
{
    return relativeTime(timeMs, QDateTime::currentMSecsSinceEpoch());
}

QVariantMap MomentFormat::gridFor(int count)
{
    const Grid grid = imageGrid(count);
    return {{QStringLiteral("columns"), grid.columns}, {QStringLiteral("cell"), grid.cell}};
}

QString MomentFormat::commentId(const QString &user, const QString &text, qint64 timeMs)
{
    return MomentComment{user, std::nullopt, text, timeMs}.id();
}

QString MomentFormat::currentUserId()
{
    return ChatViewModel::currentUserId();
}
