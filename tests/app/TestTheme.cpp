// Hex parsing, the font-size factor read at every call, and text legible on the surfaces it is drawn
// on in both appearances (the palette following the appearance and the fonts built on the factor are
// checked from QML).
#include "SettingsStore.h"
#include "Theme.h"

#include <QTemporaryDir>
#include <QTest>
#include <cmath>

namespace {
// WCAG 2 relative luminance and contrast ratio.
double luminance(const QColor &color)
{
    const auto channel = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) + 0.0722 * channel(color.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}
} // namespace

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

    // Normal-size text needs 4.5:1 against every surface it is drawn on.
    void textIsLegibleOnItsSurfaces()
    {
        using Pick = QColor (Theme::*)() const;
        const Pick texts[] = {&Theme::zpText, &Theme::zpTextDim, &Theme::accentText, &Theme::dangerText};
        const Pick surfaces[] = {&Theme::zpBG, &Theme::zpPanel, &Theme::zpPanel2};
        Theme theme;
        for (const bool dark : {true, false}) {
            theme.setDark(dark);
            for (const Pick text : texts)
                for (const Pick surface : surfaces)
                    QVERIFY2(contrast((theme.*text)(), (theme.*surface)()) >= 4.5,
                             qPrintable((theme.*text)().name() + QStringLiteral(" on ") + (theme.*surface)().name()));
            // Bubbles of others, with their mentions.
            QVERIFY(contrast(theme.zpText(), theme.zpBorder()) >= 4.5);
            QVERIFY(contrast(theme.accentText(), theme.zpBorder()) >= 4.5);
        }
        // Text on the coloured surfaces, pressed buttons included.
        QVERIFY(contrast(theme.onAccent(), theme.accent()) >= 4.5);
        QVERIFY(contrast(theme.onAccent(), theme.accent().darker(110)) >= 4.5);
        QVERIFY(contrast(Qt::white, theme.dangerFill()) >= 4.5);
    }
};

QTEST_MAIN(TestTheme)
#include "TestTheme.moc"
