// Decoding and encoding of the domain records and the REST responses.
#include "ChatGroup.h"
#include "ChatMessage.h"
#include "FriendRequest.h"
#include "GroupRequest.h"
#include "HelloMessage.h"
#include "LoginResponse.h"
#include "Moment.h"
#include "MomentComment.h"
#include "MomentResponse.h"
#include "RegisterResponse.h"
#include "SearchGroup.h"
#include "SearchGroupResponse.h"
#include "User.h"

#include <QJsonDocument>
#include <functional>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

template <typename T>
Result<T> decode(const char *json)
{
    return decodeJson<T>(QByteArray(json));
}

// The decoding error of a record, empty when it decodes.
template <typename T>
QString errorOf(const QByteArray &json)
{
    const Result<T> result = decodeJson<T>(json);
    return result.ok() ? QString() : result.error();
}

// Every field present.
const char *messageJson = R"({"id":"m1","from":"u1","fromName":"阿明","fromAvatar":"/avatars/u1.png","fromRole":"admin",
    "fromBot":false,"content":"你好 @Bo","images":["/img/1.jpg","https://x/2.jpg"],"time":1700000000123,"to":"u2","gid":"g1"})";
const char *groupJson = R"({"id":"g1","name":"周末爬山","owner":"u1","members":["u1","u2"],"memberNames":["阿明","Bo"],
    "memberAvatars":["/a/1","/a/2"],"avatar":"/g/1.png","createdAt":1600000000000})";
const char *momentJson = R"({"id":"mo1","author":"u1","authorName":"阿明","authorAvatar":"/a/1","text":"山顶","images":["/img/9.jpg"],
    "time":42,"likes":["u2","u3"],"comments":[{"author":"u2","authorName":"Bo","text":"赞","time":43},{"author":"u3","text":"ok","time":44}]})";

ChatMessage fullMessage() { return decode<ChatMessage>(messageJson).value(); }
ChatGroup fullGroup() { return decode<ChatGroup>(groupJson).value(); }
Moment fullMoment() { return decode<Moment>(momentJson).value(); }

// Decoding reads every member and encoding writes back exactly what was read.
template <typename T>
void checkRoundTrip(const QByteArray &json)
{
    const QByteArray compact = QJsonDocument::fromJson(json).toJson(QJsonDocument::Compact);
    QVERIFY(!compact.isEmpty());
    const Result<T> record = decodeJson<T>(compact);
    QVERIFY2(record.ok(), qPrintable(record.error()));
    QCOMPARE(QJsonDocument(toJson(record.value()).toObject()).toJson(QJsonDocument::Compact), compact);
    QCOMPARE(decodeJson<T>(encodeJson(record.value())).value(), record.value());
}

} // namespace

class TestRecords : public QObject
{
    Q_OBJECT

private slots:
    // A message without a string id gets one made of sender, content and time, kept when stored.
    void chatMessageComputesIdWithoutStringId_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("id");
        QTest::newRow("missing") << QByteArray(R"({"from":"u1","content":"hi","time":5})") << "u1_hi_5";
        QTest::newRow("null") << QByteArray(R"({"id":null,"from":"u1","content":"hi","time":5})") << "u1_hi_5";
        QTest::newRow("number") << QByteArray(R"({"id":42,"from":"u1","content":"hi","time":5})") << "u1_hi_5";
        QTest::newRow("empty content, negative time") << QByteArray(R"({"from":"u1","content":"","time":-3})") << "u1__-3";
    }
    void chatMessageComputesIdWithoutStringId()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, id);
        const Result<ChatMessage> message = decodeJson<ChatMessage>(json);
        QVERIFY2(message.ok(), qPrintable(message.error()));
        QCOMPARE(message->id, id);
        const QByteArray stored = encodeJson(message.value());
        QVERIFY(stored.contains("\"id\":\"" + id.toUtf8() + '"'));
        QCOMPARE(decodeJson<ChatMessage>(stored)->id, id);
    }

    // Optionals of the wrong type are dropped (not failed) by the lenient records, lists default to
    // empty, and client-side flags are never read.
    void lenientOptionalsAndClientFlags()
    {
        const Result<ChatMessage> message = decode<ChatMessage>(
            R"({"id":"m","from":"u1","content":"hi","time":5,"fromBot":"yes","fromName":7,
                "fromAvatar":[],"fromRole":null,"images":["a",1],"to":{},"gid":false,"isFromMe":true})");
        QVERIFY2(message.ok(), qPrintable(message.error()));
        QVERIFY(!message->fromBot && !message->fromName && !message->fromAvatar && !message->fromRole);
        QVERIFY(!message->images && !message->to && !message->gid && !message->isFromMe);

        const Result<Moment> bare = decode<Moment>(R"({"id":"m","author":"u","text":"t","time":1})");
        QVERIFY2(bare.ok(), qPrintable(bare.error()));
        QVERIFY(bare->images.isEmpty() && bare->likes.isEmpty() && bare->comments.isEmpty());
        const Result<Moment> malformed = decode<Moment>(
            R"({"id":"m","author":"u","text":"t","time":1,"images":"x","likes":[1],"authorName":5,
                "comments":[{"author":"u2","text":"ok","time":7},{"author":"u3","time":8}]})");
        QVERIFY2(malformed.ok(), qPrintable(malformed.error()));
        QVERIFY(malformed->images.isEmpty() && malformed->likes.isEmpty() && malformed->comments.isEmpty() && !malformed->authorName);
        QVERIFY(decodeJson<MomentResponse>(R"({"ok":true,"moment":{"id":"m","author":"u","text":"t","time":1}})")->moment.comments.isEmpty());

        const Result<User> null = decode<User>(R"({"id":"u","username":"n","avatar":null,"banned":null})");
        QVERIFY(null.ok());
        QVERIFY(!null->avatar && !null->banned && !null->role && !null->createdAt);
        QVERIFY(!decode<ChatGroup>(R"({"id":"g","name":"n","owner":"u","members":[],"isOwner":true})")->isOwner);
        QCOMPARE(decode<MomentComment>(R"({"author":"u2","authorName":"Bo","text":"ok","time":7})")->id(), u"u2ok7"_s);
        const Result<HelloMessage> hello = decode<HelloMessage>(R"({"type": "hello"})");
        QVERIFY2(hello.ok(), qPrintable(hello.error()));
        QCOMPARE(hello.value(), HelloMessage{u"hello"_s});
    }

    void integerTimeStamps_data()
    {
        QTest::addColumn<QByteArray>("time");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<qint64>("value");
        QTest::newRow("whole double") << QByteArray("5.0") << true << qint64(5);
        QTest::newRow("beyond 2^53 exact") << QByteArray("9007199254740993") << true << qint64(9007199254740993);
        QTest::newRow("qint64 max") << QByteArray("9223372036854775807") << true << std::numeric_limits<qint64>::max();
        QTest::newRow("qint64 min") << QByteArray("-9223372036854775808") << true << std::numeric_limits<qint64>::min();
        QTest::newRow("fraction") << QByteArray("1.5") << false << qint64(0);
        QTest::newRow("2^63") << QByteArray("9223372036854775808") << false << qint64(0);
        QTest::newRow("boolean") << QByteArray("true") << false << qint64(0);
    }
    void integerTimeStamps()
    {
        QFETCH(QByteArray, time);
        QFETCH(bool, accepted);
        QFETCH(qint64, value);
        const Result<FriendRequest> request = decodeJson<FriendRequest>(R"({"id":"r","from":"u","time":)" + time + "}");
        QCOMPARE(request.ok(), accepted);
        if (accepted)
            QCOMPARE(request->time, value);
        else
            QCOMPARE(request.error(), u"FriendRequest: \"time\": expected an integer"_s);
    }

    // Client-side flags are never written (absent optionals are left out: see the round trips).
    void clientFlagsAreNeverWritten()
    {
        ChatGroup owned = fullGroup();
        owned.isOwner = true;
        ChatMessage mine = fullMessage();
        mine.isFromMe = true;
        Moment liked = fullMoment();
        liked.isLiked = true;
        QCOMPARE(toJson(owned), toJson(fullGroup()));
        QCOMPARE(toJson(mine), toJson(fullMessage()));
        QCOMPARE(toJson(liked), toJson(fullMoment()));
    }

    void roundTrips()
    {
        checkRoundTrip<ChatMessage>(messageJson);
        checkRoundTrip<ChatMessage>(R"({"id":"m","from":"u","content":"","time":1})");
        checkRoundTrip<ChatGroup>(groupJson);
        checkRoundTrip<Moment>(momentJson);
        checkRoundTrip<User>(R"({"id":"u1","username":"阿明","avatar":"/a","role":"admin","banned":true,"createdAt":7})");
        checkRoundTrip<FriendRequest>(R"({"id":"r","from":"u","fromName":"n","time":9})");
        checkRoundTrip<GroupRequest>(R"({"id":"r","gid":"g","groupName":"群","from":"u","fromAvatar":"/a","time":9,"status":"pending"})");
        checkRoundTrip<SearchGroup>(R"({"id":"g","name":"n","owner":"u","memberCount":12,"avatar":"/a"})");
        checkRoundTrip<HelloMessage>(QByteArray(R"({"type":"hello","self":{"id":"u1","username":"n","banned":false,"createdAt":1},
            "hallName":"大厅","maxOnline":50,"isAdmin":true,"friends":[],"groupMsgs":{"g1":[]},"globalMsgs":[)") + messageJson + "],\"groups\":[" + groupJson
            + "],\"dmRooms\":{\"u1_u2\":[" + messageJson + "]},\"moments\":[" + momentJson + "]}");
        checkRoundTrip<LoginResponse>(R"({"ok":true,"token":"t","user":{"id":"u","username":"n","role":"admin"}})");
        checkRoundTrip<SearchGroupResponse>(R"({"ok":true,"groups":[{"id":"g","name":"n","memberCount":4}]})");
    }

    // What fails to decode, and the error naming the member (rows without an error text only fail).
    void decodingErrors_data()
    {
        QTest::addColumn<QString>("record");
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("error");
        const auto row = [](const char *name, const char *record, const char *json, const char *error = "") {
            QTest::newRow(name) << QString::fromLatin1(record) << QByteArray(json) << QString::fromUtf8(error);
        };
        row("message without content", "ChatMessage", R"({"id":"m","from":"u1","time":5})", "ChatMessage: \"content\": missing");
        row("message from a number", "ChatMessage", R"({"id":"m","from":1,"content":"","time":5})", "ChatMessage: \"from\": expected a string");
        row("message time as text", "ChatMessage", R"({"id":"m","from":"u","content":"","time":"5"})", "ChatMessage: \"time\": expected an integer");
        row("message not an object", "ChatMessage", "[1]", "ChatMessage: expected an object");
        row("banned as text", "User", R"({"id":"u","username":"n","banned":"no"})", "User: \"banned\": expected a boolean");
        row("member name a number", "ChatGroup", R"({"id":"g","name":"n","owner":"u","members":[],"memberNames":["a",2]})",
            "ChatGroup: \"memberNames\"[1]: expected a string");
        row("comment by its old key", "MomentComment", R"({"user":"u2","text":"ok","time":7})");
        // One bad nested record fails the whole snapshot, and the error says where it is.
        row("hello group without members", "HelloMessage",
            R"({"type":"hello","groups":[{"id":"g","name":"n","owner":"u","members":[]},{"id":"g2","name":"n","owner":"u"}]})",
            "HelloMessage: \"groups\"[1]: ChatGroup: \"members\": missing");
        row("hello direct room message", "HelloMessage", R"({"type":"hello","dmRooms":{"a_b":[{"from":"u","content":"x","time":1.5}]}})",
            "HelloMessage: \"dmRooms\": \"a_b\": [0]: ChatMessage: \"time\": expected an integer");
        row("hello self", "HelloMessage", R"({"type":"hello","self":{"id":"u"}})", "HelloMessage: \"self\": User: \"username\": missing");
        // A refusal sent with status 200 is not a login: the caller sees a decoding error, not "x".
        row("login refusal", "LoginResponse", R"({"ok": false, "error": "x"})", "LoginResponse: \"token\": missing");
        row("login user without name", "LoginResponse", R"({"ok":true,"token":"t","user":{"id":"u1"}})",
            "LoginResponse: \"user\": User: \"username\": missing");
        row("registration not json", "RegisterResponse", "not json");
        row("flag a number", "Flags", R"({"ok":1})");
        // An error body only counts when every member is a string.
        row("error body with a number", "Strings", R"({"error":"x","code":3})");
    }
    void decodingErrors()
    {
        QFETCH(QString, record);
        QFETCH(QByteArray, json);
        QFETCH(QString, error);
        const QHash<QString, std::function<QString(const QByteArray &)>> decoders{
            {u"ChatMessage"_s, errorOf<ChatMessage>}, {u"User"_s, errorOf<User>}, {u"ChatGroup"_s, errorOf<ChatGroup>},
            {u"MomentComment"_s, errorOf<MomentComment>}, {u"HelloMessage"_s, errorOf<HelloMessage>}, {u"LoginResponse"_s, errorOf<LoginResponse>},
            {u"RegisterResponse"_s, errorOf<RegisterResponse>}, {u"Flags"_s, errorOf<QHash<QString, bool>>}, {u"Strings"_s, errorOf<QHash<QString, QString>>}};
        const QString actual = decoders.value(record)(json);
        QVERIFY2(!actual.isEmpty(), "decoded");
        if (!error.isEmpty())
            QCOMPARE(actual, error);
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "TestRecords.moc"
