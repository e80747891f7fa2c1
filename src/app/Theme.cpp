#include "Theme.h"

#include "SettingsStore.h"

#include <QGuiApplication>

Theme::Theme(QObject *parent) : QObject(parent) {}

QColor Theme::colorFromHex(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && !text.at(first).isLetterOrNumber())
        ++first;
    while (last > first && !text.at(last - 1).isLetterOrNumber())
        --last;
    const QStringView trimmed = QStringView(text).mid(first, last - first);

    // Reads hex digits up to the first other character; nothing read gives 0.
    quint64 value = 0;
    for (const QChar c : trimmed) {
        const char16_t u = c.unicode();
        int digit = -1;
        if (u >= u'0' && u <= u'9')
            digit = u - u'0';
        else if (u >= u'a' && u <= u'f')
            digit = u - u'a' + 10;
        else if (u >= u'A' && u <= u'F')
            digit = u - u'A' + 10;
        if (digit < 0)
            break;
        value = (value << 4) | quint64(digit);
    }

    switch (trimmed.size()) {
    case 8:
        return QColor(int((value >> 16) & 0xff), int((value >> 8) & 0xff), int(value & 0xff), int((value >> 24) & 0xff));
    case 6:
        return QColor(int((value >> 16) & 0xff), int((value >> 8) & 0xff), int(value & 0xff), 255);
    case 3:
        return QColor(int(((value >> 8) & 0xf) * 17), int(((value >> 4) & 0xf) * 17), int((value & 0xf) * 17), 255);
    default:
        return QColor(0, 0, 0, 255);
    }
}

double Theme::fontFactor(const QString &step)
{
    if (step == QStringLiteral("sm"))
        return 0.82;
    if (step == QStringLiteral("lg"))
        return 1.18;
    if (step == QStringLiteral("xl"))
        return 1.38;
    return 1.0;
}

double Theme::currentFontFactor()
{
    return fontFactor(SettingsStore::shared().string(QStringLiteral("zp_font")).value_or(QString()));
}

void Theme::setDark(bool dark)
{
    if (m_dark == dark)
        return;
    m_dark = dark;
    Q_EMIT darkChanged();
}

QColor Theme::pick(const char *darkHex, const char *lightHex) const
{
    return colorFromHex(QLatin1String(m_dark ? darkHex : lightHex));
}

QColor Theme::zpBG() const { return pick("0f1117", "f4f6f9"); }
QColor Theme::zpPanel() const { return pick("161a22", "ffffff"); }
QColor Theme::zpPanel2() const { return pick("1c212b", "edf1f6"); }
QColor Theme::zpBorder() const { return pick("262c38", "dfe4ec"); }
QColor Theme::zpText() const { return pick("e6e9ef", "1f2430"); }
QColor Theme::zpTextDim() const { return pick("8a91a0", "6b7280"); }

QFont Theme::zp(double baseSize, int weight, double letterSpacing) const
{
    QFont font = QGuiApplication::font();
    font.setPixelSize(qRound(scaledPointSize(baseSize)));
    font.setWeight(QFont::Weight(weight));
    if (letterSpacing != 0)
        font.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing);
    return font;
}
