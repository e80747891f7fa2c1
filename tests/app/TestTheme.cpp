// Hex parsing and the font-size factor read at every call (the palette following the appearance and
// the fonts built on the factor are checked from QML).
#include "SettingsStore.h"
#include "Theme.h"

#include <QTemporaryDir>
#include <QTest>

class TestTheme : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase() { SettingsStore::shared().setLocation(m_dir.path()); }

    void hexParsing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("six digits") << "07c160" << QColor(7, 193, 96, 255);
        QTest::newRow("leading # ignored") << "#07c160" << QColor(7, 193, 96, 255);
        QTest::newRow("eight digits are ARGB") << "80ff0000" << QColor(255, 0, 0, 128);
        QTest::newRow("three digits expand") << "1a2" << QColor(17, 170, 34, 255);
        QTest::newRow("two digits are black") << "ff" << QColor(0, 0, 0, 255);
        QTest::newRow("trim punctuation both ends, upper case") << "  (#E5484D);" << QColor(229, 72, 77, 255);
        QTest::newRow("reading stops at a non-hex digit") << "12g456" << QColor(0, 0, 0x12, 255);
    }
    void hexParsing()
    {
        QFETCH(QString, text);
        QFETCH(QColor, expected);
        const QColor color = Theme::colorFromHex(text);
        QCOMPARE(color.rgba(), expected.rgba());
    }

    void fontFactorIsReadAtEveryCall()
    {
        SettingsStore &settings = SettingsStore::shared();
        settings.remove(QStringLiteral("zp_font"));
        QCOMPARE(Theme::scaledPointSize(15), 15.0);
        qreal previous = 0;
        for (const char *size : {"sm", "md", "lg", "xl"}) {
            settings.setString(QStringLiteral("zp_font"), QString::fromLatin1(size));
            QVERIFY2(Theme::scaledPointSize(15) > previous, size);
            previous = Theme::scaledPointSize(15);
        }
        settings.setString(QStringLiteral("zp_font"), QStringLiteral("huge"));
        QCOMPARE(Theme::scaledPointSize(15), 15.0);
    }
};

QTEST_MAIN(TestTheme)
#include "TestTheme.moc"
