// The per-address limits on registrations, failed and successful sign-ins, and the per-name limit on
// failed sign-ins (each refuses with 429 once reached and lets the address in again once its window
// has passed), and a successful sign-in forgiving the failures counted against the name.
#include "ServerFixture.h"

#include <QtTest>

namespace {
QJsonObject credentials(const QString &name, const QString &password)
{
    return {{QStringLiteral("username"), name}, {QStringLiteral("password"), password}};
}
} // namespace

class AccountLimitsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void limitsPerAddress_data()
    {
        const Limits limits = ServerFixture::testLimits();
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("allowed"); // attempts the address makes before it is refused
        QTest::addColumn<qint64>("window"); // how long until it is let in again
        QTest::newRow("registrations") << "register" << limits.registrationsPerAddress << limits.loginThrottleWindowMs;
        QTest::newRow("failed sign-ins") << "fail" << limits.failedLoginsPerAddress << limits.loginThrottleWindowMs;
        QTest::newRow("failed sign-ins of one name") << "guess" << limits.failedLoginsPerName << limits.loginThrottleWindowMs;
        QTest::newRow("sign-ins") << "login" << limits.signInBurst << qint64(1000 / limits.signInsPerSecond);
    }
    void limitsPerAddress()
    {
        QFETCH(QString, kind);
        QFETCH(int, allowed);
        QFETCH(qint64, window);
        ServerFixture server;
        QVERIFY(server.started());
        server.signUp(QStringLiteral("alice"));
        server.clock().advance(ServerFixture::testLimits().loginThrottleWindowMs); // the set-up's own attempts are forgotten
        RestProbe rest(server.baseUrl());
        // Each attempt of its kind; a failed sign-in uses a new name each time, so only the address counts.
        int next = 0;
        const auto attempt = [&] {
            const QString name = QStringLiteral("user%1").arg(next++);
            if (kind == QLatin1String("register"))
                return rest.post(QStringLiteral("/api/register"), credentials(name, QStringLiteral("pass1234")));
            if (kind == QLatin1String("fail") || kind == QLatin1String("guess"))
                return rest.post(QStringLiteral("/api/login"), credentials(kind == QLatin1String("fail") ? name : QStringLiteral("alice"), QStringLiteral("guess")));
            return rest.post(QStringLiteral("/api/login"), credentials(QStringLiteral("alice"), QStringLiteral("pass1234")));
        };
        const bool failing = kind == QLatin1String("fail") || kind == QLatin1String("guess");
        const int expected = failing ? 401 : 200;
        for (int i = 0; i < allowed; ++i)
            QCOMPARE(attempt().status, expected);
        // Once failures reach their limit, even the right password is refused.
        const RestReply refused = failing
                                      ? rest.post(QStringLiteral("/api/login"), credentials(QStringLiteral("alice"), QStringLiteral("pass1234")))
                                      : attempt();
        QCOMPARE(refused.status, 429);
        QCOMPARE(refused.error(), QStringLiteral("尝试次数过多，请稍后再试"));

        server.clock().advance(window - 1);
        QCOMPARE(attempt().status, 429);
        server.clock().advance(window); // past the window even for a bucket that refills gradually
        QCOMPARE(attempt().status, expected);
    }

    void successfulSignInForgivesTheNamesFailures()
    {
        ServerFixture server;
        QVERIFY(server.started());
        server.signUp(QStringLiteral("alice"));
        RestProbe rest(server.baseUrl());
        const int belowLimit = ServerFixture::testLimits().failedLoginsPerName - 1;
        const auto guess = [&] {
            for (int i = 0; i < belowLimit; ++i)
                QCOMPARE(rest.post(QStringLiteral("/api/login"), credentials(QStringLiteral("alice"), QStringLiteral("guess"))).status, 401);
        };
        guess();
        QCOMPARE(rest.post(QStringLiteral("/api/login"), credentials(QStringLiteral("alice"), QStringLiteral("pass1234"))).status, 200);
        guess(); // counted from zero again: still below the limit
        QCOMPARE(rest.post(QStringLiteral("/api/login"), credentials(QStringLiteral("alice"), QStringLiteral("pass1234"))).status, 200);
    }
};

QTEST_GUILESS_MAIN(AccountLimitsTest)
#include "AccountLimitsTest.moc"
