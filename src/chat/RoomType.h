#pragma once
// The identity of a conversation: the hall, a direct conversation with a peer, or a group.
// The display name travels along for the screens only; lookups use peerId and gid alone, so two
// rooms with the same peer but different names share an id yet are not equal.
#include <QHashFunctions>
#include <QMetaType>
#include <QString>
#include <QtQml/qqmlregistration.h>

class RoomType
{
    Q_GADGET
    QML_VALUE_TYPE(roomType)
    Q_PROPERTY(Kind kind READ kind CONSTANT)
    Q_PROPERTY(QString id READ id CONSTANT)
    Q_PROPERTY(QString peerId READ peerId CONSTANT)
    Q_PROPERTY(QString peerName READ peerName CONSTANT)
    Q_PROPERTY(QString gid READ gid CONSTANT)
    Q_PROPERTY(QString name READ name CONSTANT)
    // For QML, where the enumeration of a value type cannot be named.
    Q_PROPERTY(bool isGlobal READ isGlobal CONSTANT)
    Q_PROPERTY(bool isDm READ isDm CONSTANT)
    Q_PROPERTY(bool isGroup READ isGroup CONSTANT)

public:
    enum class Kind { Dm, Group, Global };
    Q_ENUM(Kind)

    // The hall; also what a default-constructed value means.
    RoomType() = default;
    static RoomType global() { return RoomType(); }
    static RoomType dm(const QString &peerId, const QString &peerName) { return {Kind::Dm, peerId, peerName}; }
    static RoomType group(const QString &gid, const QString &name) { return {Kind::Group, gid, name}; }

    Kind kind() const { return m_kind; }
    bool isGlobal() const { return m_kind == Kind::Global; }
    bool isDm() const { return m_kind == Kind::Dm; }
    bool isGroup() const { return m_kind == Kind::Group; }
    // "global", "dm_" + peer id or "group_" + group id.
    QString id() const;
    // Empty unless this is a direct room.
    QString peerId() const { return m_kind == Kind::Dm ? m_target : QString(); }
    QString peerName() const { return m_kind == Kind::Dm ? m_name : QString(); }
    // Empty unless this is a group room.
    QString gid() const { return m_kind == Kind::Group ? m_target : QString(); }
    // The group's name, or the peer's name in a direct room.
    QString name() const { return m_name; }

    bool operator==(const RoomType &) const = default;

private:
    RoomType(Kind kind, QString target, QString name)
        : m_kind(kind), m_target(std::move(target)), m_name(std::move(name))
    {
    }

    Kind m_kind = Kind::Global;
    QString m_target;
    QString m_name;

    friend size_t qHash(const RoomType &room, size_t seed) { return qHashMulti(seed, int(room.m_kind), room.m_target, room.m_name); }
};

Q_DECLARE_METATYPE(RoomType)
