// REST response records: what each needs, and the plain maps of booleans and strings.
#include "AvatarResponse.h"
#include "ImageUploadResponse.h"
#include "LoginResponse.h"
#include "MeResponse.h"
#include "MomentResponse.h"
#include "RegisterResponse.h"
#include "SearchGroupResponse.h"

#include <QtTest>

class TestRestRecords : public QObject
{
    Q_OBJECT

private slots:
    void loginNeedsTokenAndUser()
    {
        // A refusal sent with status 200 is not a login: the caller sees a decoding error, not "x".
        const Result<LoginResponse> refused = decodeJson<LoginResponse>(R"({"ok": false, "error": "x"})");
        QVERIFY(!refused.ok());
        QCOMPARE(refused.error(), QStringLiteral("LoginResponse: \"token\": missing"));

        const Result<LoginResponse> login = decodeJson<LoginResponse>(
            R"({"ok":true,"token":"t0k","user":{"id":"u1","username":"阿明","role":"admin"}})");
        QVERIFY2(login.ok(), qPrintable(login.error()));
        QCOMPARE(login->token, QStringLiteral("t0k"));
        QCOMPARE(login->user.role.value_or(QString()), QStringLiteral("admin"));
        QCOMPARE(decodeJson<LoginResponse>(R"({"ok":true,"token":"t","user":{"id":"u1"}})").error(),
                 QStringLiteral("LoginResponse: \"user\": User: \"username\": missing"));
    }

    void registerNeedsOk()
    {
        QVERIFY(decodeJson<RegisterResponse>(R"({"ok": true})").ok());
        QVERIFY(!decodeJson<RegisterResponse>(R"({})").ok());
        QVERIFY(!decodeJson<RegisterResponse>(R"({"ok": "true"})").ok());
    }

    void searchGroupResponseFieldsAreOptional()
    {
        const Result<SearchGroupResponse> empty = decodeJson<SearchGroupResponse>(R"({"groups": []})");
        QVERIFY2(empty.ok(), qPrintable(empty.error()));
        QVERIFY(!empty->ok && !empty->error);
        QVERIFY(empty->groups && empty->groups->isEmpty());
        const Result<SearchGroupResponse> hits =
            decodeJson<SearchGroupResponse>(R"({"ok":true,"groups":[{"id":"g","name":"n","memberCount":4}]})");
        QVERIFY2(hits.ok(), qPrintable(hits.error()));
        QCOMPARE(hits->groups->first().memberCount.value_or(0), 4);
        QVERIFY(!decodeJson<SearchGroupResponse>(R"({"groups":[{"id":"g"}]})").ok());
    }

    void otherResponsesNeedEveryField()
    {
        QCOMPARE(decodeJson<AvatarResponse>(R"({"ok":true,"avatar":"/a/1.png"})")->avatar, QStringLiteral("/a/1.png"));
        QVERIFY(!decodeJson<AvatarResponse>(R"({"ok":true})").ok());
        QCOMPARE(decodeJson<ImageUploadResponse>(R"({"ok":true,"url":"/i/2.jpg"})")->url, QStringLiteral("/i/2.jpg"));
        QVERIFY(!decodeJson<ImageUploadResponse>(R"({"ok":true,"url":null})").ok());
        QVERIFY(decodeJson<MeResponse>(R"({"ok":true,"user":{"id":"u","username":"n"}})").ok());
        QVERIFY(!decodeJson<MeResponse>(R"({"ok":true})").ok());
        // The posted moment decodes with the feed's leniency.
        const Result<MomentResponse> posted =
            decodeJson<MomentResponse>(R"({"ok":true,"moment":{"id":"m","author":"u","text":"t","time":1}})");
        QVERIFY2(posted.ok(), qPrintable(posted.error()));
        QVERIFY(posted->moment.comments.isEmpty());
    }

    void responsesRoundTrip()
    {
        LoginResponse login{true, QStringLiteral("t"), User{QStringLiteral("u"), QStringLiteral("n"), {}, {}, {}, {}}};
        QCOMPARE(decodeJson<LoginResponse>(encodeJson(login)).value(), login);
        SearchGroupResponse search{true, std::nullopt, QList<SearchGroup>{{QStringLiteral("g"), QStringLiteral("n")}}};
        const QByteArray json = encodeJson(search);
        QVERIFY(!json.contains("error"));
        QCOMPARE(decodeJson<SearchGroupResponse>(json).value(), search);
    }

    void plainMapsOfBooleansAndStrings()
    {
        using Flags = QHash<QString, bool>;
        using Strings = QHash<QString, QString>;
        const Result<Flags> flags = decodeJson<Flags>(R"({"ok":true,"online":false})");
        QVERIFY(flags.ok());
        QCOMPARE(flags->value(QStringLiteral("ok")), true);
        QVERIFY(!decodeJson<Flags>(R"({"ok":1})").ok());
        // An error body only counts when every member is a string.
        QCOMPARE(decodeJson<Strings>(R"({"error":"用户名已存在"})")->value(QStringLiteral("error")),
                 QStringLiteral("用户名已存在"));
        QVERIFY(!decodeJson<Strings>(R"({"error":"x","code":3})").ok());
        QVERIFY(!decodeJson<RegisterResponse>("not json").ok());
    }

};

QTEST_GUILESS_MAIN(TestRestRecords)
#include "TestRestRecords.moc"
