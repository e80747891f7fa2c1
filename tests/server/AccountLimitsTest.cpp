// The limits on registrations, failed sign-ins (per name and per address) and successful sign-ins
// (each refuses with 429 once reached and lets the address in again once its window has passed),
// and a successful sign-in forgiving the failures counted against the name.
#include "ServerFixture.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class AccountLimitsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void limits_data()
    {
        const Limits limits = ServerFixture::testLimits();
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("allowed"); // attempts made before the next is refused
        QTest::addColumn<qint64>("window"); // how long until it is let in again
        QTest::newRow("registrations per address") << "register" << limits.registrationsPerAddress << limits.loginThrottleWindowMs;
        QTest::newRow("failed sign-ins per address") << "fail" << limits.failedLoginsPerAddress << limits.loginThrottleWindowMs;
        QTest::newRow("failed sign-ins per name") << "guess" << limits.failedLoginsPerName << limits.loginThrottleWindowMs;
        QTest::newRow("sign-ins per address") << "login" << limits.signInBurst << qint64(1000 / limits.signInsPerSecond);
    }
    void limits()
    {
        QFETCH(QString, kind);
        QFETCH(int, allowed);
        QFETCH(qint64, window);
        ServerFixture server;
        QVERIFY(server.started());
        server.signUp(u"alice"_s);
        server.clock().advance(ServerFixture::testLimits().loginThrottleWindowMs); // the set-up's own attempts are forgotten
        RestProbe rest(server.baseUrl());
        // Each attempt of its kind; a failed sign-in per address uses a new name each time, so only the address counts.
        int next = 0;
        const auto attempt = [&] {
            const QString name = u"user%1"_s.arg(next++);
            if (kind == "register"_L1)
                return rest.registerUser(name, ServerFixture::password());
            if (kind == "fail"_L1 || kind == "guess"_L1)
                return rest.login(kind == "fail"_L1 ? name : u"alice"_s, u"guess"_s);
            return rest.login(u"alice"_s, ServerFixture::password());
        };
        const bool failing = kind == "fail"_L1 || kind == "guess"_L1;
        const int expected = failing ? 401 : 200;
        for (int i = 0; i < allowed; ++i)
            QCOMPARE(attempt().status, expected);
        // Once failures reach the limit, even the right password is refused.
        const RestReply refused = failing ? rest.login(u"alice"_s, ServerFixture::password()) : attempt();
        QCOMPARE(refused.status, 429);
        QCOMPARE(refused.error(), u"尝试次数过多，请稍后再试"_s);

        server.clock().advance(window - 1);
        QCOMPARE(attempt().status, 429);
        server.clock().advance(window); // past the window even for a bucket that refills gradually
        QCOMPARE(attempt().status, expected);
    }

    void successfulSignInForgivesTheNamesFailures()
    {
        ServerFixture server;
        QVERIFY(server.started());
        server.signUp(u"alice"_s);
        RestProbe rest(server.baseUrl());
        for (int round = 0; round < 2; ++round) { // the second round counts from zero again: still below the limit
            for (int i = 0; i < ServerFixture::testLimits().failedLoginsPerName - 1; ++i)
                QCOMPARE(rest.login(u"alice"_s, u"guess"_s).status, 401);
            QCOMPARE(rest.login(u"alice"_s, ServerFixture::password()).status, 200);
        }
    }
};

QTEST_GUILESS_MAIN(AccountLimitsTest)
#include "AccountLimitsTest.moc"
