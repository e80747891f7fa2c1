#include "RecordVariants.h"

namespace RecordVariants {

QVariantMap toVariant(const ChatMessage &message)
{
    QVariantMap map = toJson(message).toObject().toVariantMap();
    map.insert(QStringLiteral("isFromMe"), message.isFromMe);
    return map;
}

QVariantMap toVariant(const ChatGroup &group)
{
    QVariantMap map = toJson(group).toObject().toVariantMap();
    map.insert(QStringLiteral("isOwner"), group.isOwner);
    return map;
}

QVariantMap toVariant(const Moment &moment)
{
    QVariantMap map = toJson(moment).toObject().toVariantMap();
    map.insert(QStringLiteral("isLiked"), moment.isLiked);
    return map;
}

} // namespace RecordVariants
