#include "HelloSnapshotGenerator.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QStringList>

namespace {

constexpr int population = 3000; // users the snapshot's messages come from
constexpr qint64 startTime = 1717200000000; // ms, June 2024

const QStringList phrases = {
    QStringLiteral("大家好！"),
    QStringLiteral("今天天气不错，一起去爬山吗？"),
    QStringLiteral("ok"),
    QStringLiteral("哈哈哈哈哈哈 😂"),
    QStringLiteral("收到，晚上八点见"),
    QStringLiteral("Does anyone know how to reset the router?"),
    QStringLiteral("@阿明 你看一下这个"),
    QStringLiteral("周末的活动改到周日下午了，请大家相互转告，谢谢配合。"),
    QStringLiteral("👍"),
    QStringLiteral(""),
    QStringLiteral("刚到家，路上堵了一个小时……"),
    QStringLiteral("Meeting notes are in the shared folder, see section 3."),
};

const QStringList surnames = {QStringLiteral("王"), QStringLiteral("李"), QStringLiteral("张"),
                              QStringLiteral("刘"), QStringLiteral("陈"), QStringLiteral("杨")};
const QStringList givenNames = {QStringLiteral("小明"), QStringLiteral("晓雯"), QStringLiteral("建国"),
                                QStringLiteral("Amy"), QStringLiteral("子涵"), QStringLiteral("Leo"),
                                QStringLiteral("雨桐"), QStringLiteral("浩然")};

class SnapshotWriter
{
public:
    explicit SnapshotWriter(const HelloSnapshotShape &shape) : m_shape(shape), m_random(shape.seed) {}

    QJsonObject hello()
    {
        QJsonObject hello{{QStringLiteral("type"), QStringLiteral("hello")},
                          {QStringLiteral("self"), user(0)},
                          {QStringLiteral("maxOnline"), 500},
                          {QStringLiteral("isAdmin"), false},
                          {QStringLiteral("hallName"), QStringLiteral("Zephlin 大厅")},
                          {QStringLiteral("announcement"), QStringLiteral("欢迎来到 Zephlin！请文明聊天。")}};
        QJsonArray hall;
        for (int i = 0; i < m_shape.hallMessages; ++i)
            hall.append(message(pick(), {}, {}));
        hello.insert(QStringLiteral("globalMsgs"), hall);

        QJsonArray friends;
        for (int i = 1; i <= m_shape.friends; ++i)
            friends.append(user(i));
        hello.insert(QStringLiteral("friends"), friends);

        QJsonArray groups;
        QJsonObject groupMsgs;
        for (int g = 0; g < m_shape.groups; ++g) {
            const QJsonObject chatGroup = group(g);
            groups.append(chatGroup);
            if (m_shape.messagesPerGroup > 0)
                groupMsgs.insert(chatGroup.value(QStringLiteral("id")).toString(), groupHistory(chatGroup));
        }
        hello.insert(QStringLiteral("groups"), groups);
        hello.insert(QStringLiteral("groupMsgs"), groupMsgs);

        QJsonObject dmRooms;
        for (int r = 1; r <= m_shape.directRooms; ++r) {
            // The smaller id first; "u000000" sorts before every peer.
            const QString key = userId(0) + u'_' + userId(r);
            QJsonArray room;
            for (int i = 0; i < m_shape.messagesPerDirectRoom; ++i) {
                const bool mine = m_random.bounded(2) == 0;
                room.append(message(mine ? 0 : r, userId(mine ? r : 0), {}));
            }
            dmRooms.insert(key, room);
        }
        hello.insert(QStringLiteral("dmRooms"), dmRooms);
        hello.insert(QStringLiteral("pendingRequests"), QJsonArray());
        hello.insert(QStringLiteral("groupApplyRequests"), QJsonArray());
        hello.insert(QStringLiteral("moments"), QJsonArray());
        return hello;
    }

private:
    static QString userId(int n) { return QStringLiteral("u%1").arg(n, 6, 10, QLatin1Char('0')); }
    static QString userName(int n)
    {
        return surnames.at(n % surnames.size()) + givenNames.at((n / surnames.size()) % givenNames.size())
            + QString::number(n);
    }
    static QString avatar(int n) { return QStringLiteral("/uploads/avatars/%1.jpg").arg(userId(n)); }

    int pick() { return int(m_random.bounded(population)); }

    QJsonObject user(int n)
    {
        QJsonObject json{{QStringLiteral("id"), userId(n)},
                         {QStringLiteral("username"), userName(n)},
                         {QStringLiteral("avatar"), avatar(n)},
                         {QStringLiteral("createdAt"), startTime - n * 3600000LL}};
        if (n % 50 == 7)
            json.insert(QStringLiteral("role"), QStringLiteral("admin"));
        return json;
    }

    QJsonObject message(int sender, const QString &to, const QString &gid)
    {
        m_time += 1 + m_random.bounded(60000);
        QJsonObject json{{QStringLiteral("id"), QStringLiteral("m%1").arg(++m_messages)},
                         {QStringLiteral("from"), userId(sender)},
                         {QStringLiteral("fromName"), userName(sender)},
                         {QStringLiteral("fromAvatar"), avatar(sender)},
                         {QStringLiteral("content"), phrases.at(m_random.bounded(phrases.size()))},
                         {QStringLiteral("time"), m_time}};
        if (sender % 50 == 7)
            json.insert(QStringLiteral("fromRole"), QStringLiteral("admin"));
        if (m_random.bounded(10) == 0)
            json.insert(QStringLiteral("images"),
                        QJsonArray{QStringLiteral("/uploads/images/%1.jpg").arg(m_messages)});
        if (!to.isEmpty())
            json.insert(QStringLiteral("to"), to);
        if (!gid.isEmpty())
            json.insert(QStringLiteral("gid"), gid);
        return json;
    }

    QJsonObject group(int g)
    {
        const int span = m_shape.maxGroupMembers - m_shape.minGroupMembers + 1;
        const int count = m_shape.minGroupMembers + int(m_random.bounded(qMax(span, 1)));
        QJsonArray members, names, avatars;
        for (int i = 0; i < count; ++i) {
            const int member = i == 0 ? 0 : pick();
            members.append(userId(member));
            names.append(userName(member));
            avatars.append(avatar(member));
        }
        return QJsonObject{{QStringLiteral("id"), QStringLiteral("g%1").arg(g, 5, 10, QLatin1Char('0'))},
                           {QStringLiteral("name"), QStringLiteral("兴趣小组 %1").arg(g)},
                           {QStringLiteral("owner"), members.at(g % count)},
                           {QStringLiteral("members"), members},
                           {QStringLiteral("memberNames"), names},
                           {QStringLiteral("memberAvatars"), avatars},
                           {QStringLiteral("avatar"), QStringLiteral("/uploads/groups/g%1.png").arg(g)},
                           {QStringLiteral("createdAt"), startTime - g * 86400000LL}};
    }

    QJsonArray groupHistory(const QJsonObject &chatGroup)
    {
        const QJsonArray members = chatGroup.value(QStringLiteral("members")).toArray();
        const QString gid = chatGroup.value(QStringLiteral("id")).toString();
        QJsonArray history;
        for (int i = 0; i < m_shape.messagesPerGroup; ++i) {
            const QString from = members.at(m_random.bounded(int(members.size()))).toString();
            history.append(message(from.mid(1).toInt(), {}, gid));
        }
        return history;
    }

    const HelloSnapshotShape m_shape;
    QRandomGenerator m_random;
    qint64 m_time = startTime - 30LL * 86400000;
    int m_messages = 0;
};

} // namespace

QByteArray generateHelloSnapshot(const HelloSnapshotShape &shape)
{
    return QJsonDocument(SnapshotWriter(shape).hello()).toJson(QJsonDocument::Compact);
}
