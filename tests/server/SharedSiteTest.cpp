// Several server nodes on one PostgreSQL database: what one node stores, every other node sees.
#include "ServerFixture.h"

#include <QtTest>

namespace {
const QString TinyGif = QStringLiteral("R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7");

QJsonObject credentials(const QString &password)
{
    return {{QStringLiteral("username"), QStringLiteral("alice")}, {QStringLiteral("password"), password}};
}
} // namespace

class SharedSiteTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void uploadsAndSignInFailuresAreSharedByEveryNode()
    {
        ServerFixture a;
        ServerFixture b(ServerFixture::testLimits(), &a);
        QVERIFY(a.started() && b.started());
        const auto alice = a.signUp(QStringLiteral("alice"));
        RestProbe throughA(a.baseUrl());
        RestProbe throughB(b.baseUrl());

        const RestReply stored = throughA.post(QStringLiteral("/api/upload-msg-image"),
                                               {{QStringLiteral("token"), alice.token}, {QStringLiteral("data"), TinyGif}});
        QCOMPARE(stored.status, 200);
        const RestReply served = throughB.get(stored.json.value(QStringLiteral("url")).toString());
        QCOMPARE(served.status, 200);
        QCOMPARE(served.body, QByteArray::fromBase64(TinyGif.toLatin1()));

        // Guesses through one node count on the other: spreading them over nodes gains nothing.
        const int limit = ServerFixture::testLimits().failedLoginsPerName;
        for (int i = 0; i < limit; ++i)
            QCOMPARE((i % 2 ? throughA : throughB).post(QStringLiteral("/api/login"), credentials(QStringLiteral("guess"))).status, 401);
        QCOMPARE(throughB.post(QStringLiteral("/api/login"), credentials(QStringLiteral("pass1234"))).status, 429);
        QCOMPARE(throughA.post(QStringLiteral("/api/login"), credentials(QStringLiteral("pass1234"))).status, 429);
    }
};

QTEST_GUILESS_MAIN(SharedSiteTest)
#include "SharedSiteTest.moc"
