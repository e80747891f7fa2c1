// Palette values, hex parsing and the font-size factor.
#include "SettingsStore.h"
#include "Theme.h"

#include <QSignalSpy>
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
        QTest::newRow("three digits expand") << "fff" << QColor(255, 255, 255, 255);
        QTest::newRow("short form digits") << "1a2" << QColor(17, 170, 34, 255);
        QTest::newRow("two digits are black") << "ff" << QColor(0, 0, 0, 255);
        QTest::newRow("empty is black") << "" << QColor(0, 0, 0, 255);
        QTest::newRow("trim punctuation both ends") << "  (#e5484d);" << QColor(229, 72, 77, 255);
        QTest::newRow("upper case") << "E5484D" << QColor(229, 72, 77, 255);
        QTest::newRow("reading stops at a non-hex digit") << "12g456" << QColor(0, 0, 0x12, 255);
    }
    void hexParsing()
    {
        QFETCH(QString, text);
        QFETCH(QColor, expected);
        const QColor color = Theme::colorFromHex(text);
        QCOMPARE(color.rgba(), expected.rgba());
    }

    void paletteFollowsTheAppearance()
    {
        Theme theme;
        QSignalSpy changed(&theme, &Theme::darkChanged);
        theme.setDark(true);
        QCOMPARE(changed.count(), 0); // dark is the starting appearance
        QCOMPARE(theme.zpBG().name(), QStringLiteral("#0f1117"));
        QCOMPARE(theme.zpTextDim().name(), QStringLiteral("#8a91a0"));
        theme.setDark(false);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(theme.zpBG().name(), QStringLiteral("#f4f6f9"));
        QCOMPARE(theme.zpPanel().name(), QStringLiteral("#ffffff"));
        QCOMPARE(theme.zpPanel2().name(), QStringLiteral("#edf1f6"));
        QCOMPARE(theme.zpBorder().name(), QStringLiteral("#dfe4ec"));
        QCOMPARE(theme.zpText().name(), QStringLiteral("#1f2430"));
        QCOMPARE(theme.accent().name(), QStringLiteral("#07c160"));
    }

    void fontFactorIsReadAtEveryCall()
    {
        SettingsStore &settings = SettingsStore::shared();
        settings.remove(QStringLiteral("zp_font"));
        QCOMPARE(Theme::scaledPointSize(15), 15.0);
        settings.setString(QStringLiteral("zp_font"), QStringLiteral("xl"));
        QVERIFY(qFuzzyCompare(Theme::scaledPointSize(15), 20.7));
        settings.setString(QStringLiteral("zp_font"), QStringLiteral("sm"));
        QVERIFY(qFuzzyCompare(Theme::scaledPointSize(15), 12.3));
        settings.setString(QStringLiteral("zp_font"), QStringLiteral("lg"));
        QVERIFY(qFuzzyCompare(Theme::scaledPointSize(10), 11.8));
        settings.setString(QStringLiteral("zp_font"), QStringLiteral("huge"));
        QCOMPARE(Theme::scaledPointSize(15), 15.0);
    }

    void fontCarriesScaledSizeAndWeight()
    {
        SettingsStore::shared().setString(QStringLiteral("zp_font"), QStringLiteral("xl"));
        const QFont font = Theme().zp(15, QFont::DemiBold, 2);
        QCOMPARE(font.pixelSize(), 21); // 20.7 logical pixels, rounded
        QCOMPARE(font.weight(), QFont::DemiBold);
        QCOMPARE(font.letterSpacing(), 2.0);
    }
};

QTEST_MAIN(TestTheme)
#include "TestTheme.moc"
