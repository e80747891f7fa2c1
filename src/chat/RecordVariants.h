#pragma once
// Records as QML sees them: their JSON form as a map, plus the client-side flags the JSON leaves out.
#include "ChatGroup.h"
#include "ChatMessage.h"
#include "Moment.h"

#include <QHash>
#include <QJsonObject>
#include <QVariantList>
#include <QVariantMap>

namespace RecordVariants {

template <typename T>
QVariantMap toVariant(const T &record)
{
    return toJson(record).toObject().toVariantMap();
}

QVariantMap toVariant(const ChatMessage &message);
QVariantMap toVariant(const ChatGroup &group);
QVariantMap toVariant(const Moment &moment);

template <typename T>
QVariantList toVariantList(const QList<T> &records)
{
    QVariantList list;
    list.reserve(records.size());
    for (const T &record : records)
        list.append(toVariant(record));
    return list;
}

template <typename T>
QVariantMap toVariantMap(const QHash<QString, QList<T>> &rooms)
{
    QVariantMap map;
    for (auto it = rooms.begin(); it != rooms.end(); ++it)
        map.insert(it.key(), toVariantList(it.value()));
    return map;
}

} // namespace RecordVariants
