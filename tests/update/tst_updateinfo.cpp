// Reading the version file and ordering version strings.
#include "AppUpdateInfo.h"
#include "VersionComparison.h"

#include <QtTest>

class UpdateInfoTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void comparison_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("order");
        QTest::newRow("numeric runs") << "1.10" << "1.9" << 1;
        QTest::newRow("equal") << "1.2.0" << "1.2.0" << 0;
        QTest::newRow("prefix is lower") << "1.0" << "1.0.0" << -1;
        QTest::newRow("leading zeros equal value") << "1.02" << "1.2" << 0;
        QTest::newRow("long runs") << "1.123456789012345678901" << "1.123456789012345678900" << 1;
        QTest::newRow("text part") << "1.0b" << "1.0a" << 1;
        QTest::newRow("digit vs letter") << "1.a" << "1.1" << 1;
        QTest::newRow("empty") << "" << "0" << -1;
    }

    void comparison()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, order);
        QCOMPARE(compareVersions(a, b), order);
        QCOMPARE(compareVersions(b, a), -order);
    }

    void decoding_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("notes");
        QTest::newRow("full") << QByteArray("{\"version\":\"1.4.2\",\"url\":\"https://h/p.ipa\",\"notes\":\"修复\",\"sha256\":\"ab\"}") << true << "修复";
        QTest::newRow("no notes, extra key") << QByteArray("{\"version\":\"1.4.2\",\"url\":\"https://h/p.ipa\",\"size\":3}") << true << "";
        QTest::newRow("null notes") << QByteArray(R"({"version":"1.4.2","url":"u","notes":null})") << true << "";
        QTest::newRow("missing url") << QByteArray(R"({"version":"1.4.2"})") << false << "";
        QTest::newRow("missing version") << QByteArray(R"({"url":"u"})") << false << "";
        QTest::newRow("number version") << QByteArray(R"({"version":1.4,"url":"u"})") << false << "";
        QTest::newRow("number notes") << QByteArray(R"({"version":"1","url":"u","notes":5})") << false << "";
        QTest::newRow("array") << QByteArray("[]") << false << "";
    }

    void decoding()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, ok);
        QFETCH(QString, notes);
        const Result<AppUpdateInfo> info = decodeJson<AppUpdateInfo>(json);
        QCOMPARE(info.ok(), ok);
        if (ok) {
            QCOMPARE(info->version, QStringLiteral("1.4.2"));
            QCOMPARE(info->notes.value_or(QString()), notes);
            const Result<AppUpdateInfo> again = decodeJson<AppUpdateInfo>(encodeJson(info.value()));
            QCOMPARE(again->url, info->url);
            QCOMPARE(again->sha256, info->sha256);
        }
    }
};

QTEST_MAIN(UpdateInfoTest)
#include "tst_updateinfo.moc"
