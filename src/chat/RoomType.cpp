#include "RoomType.h"

QString RoomType::id() const
{
    switch (m_kind) {
    case Kind::Dm:
        return QStringLiteral("dm_") + m_target;
    case Kind::Group:
        return QStringLiteral("group_") + m_target;
    case Kind::Global:
        break;
    }
    return QStringLiteral("global");
}
