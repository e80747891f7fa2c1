#pragma once
// The palette and fonts every screen draws with. Colours follow the dark or light appearance;
// font sizes scale by the user's step ("zp_font"), read at every call so a redraw picks up a change.
#include <QColor>
#include <QFont>
#include <QObject>
#include <QtQml/qqmlregistration.h>

class Theme : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool dark READ dark WRITE setDark NOTIFY darkChanged)
    Q_PROPERTY(QColor zpBG READ zpBG NOTIFY darkChanged)
    Q_PROPERTY(QColor zpPanel READ zpPanel NOTIFY darkChanged)
    Q_PROPERTY(QColor zpPanel2 READ zpPanel2 NOTIFY darkChanged)
    Q_PROPERTY(QColor zpBorder READ zpBorder NOTIFY darkChanged)
    Q_PROPERTY(QColor zpText READ zpText NOTIFY darkChanged)
    Q_PROPERTY(QColor zpTextDim READ zpTextDim NOTIFY darkChanged)
    Q_PROPERTY(QColor accent READ accent CONSTANT)
    Q_PROPERTY(QColor danger READ danger CONSTANT)

public:
    explicit Theme(QObject *parent = nullptr);

    // Hex text to colour: 8 digits ARGB, 6 RGB, 3 short RGB, anything else opaque black;
    // characters that are not letters or digits are trimmed from both ends first.
    static QColor colorFromHex(const QString &text);
    // The factor of a stored step: "sm" 0.82, "md" 1.0, "lg" 1.18, "xl" 1.38, anything else 1.0.
    static double fontFactor(const QString &step);
    // The factor of the step stored under "zp_font" right now.
    static double currentFontFactor();
    static double scaledPointSize(double baseSize) { return baseSize * currentFontFactor(); }

    bool dark() const { return m_dark; }
    void setDark(bool dark);

    QColor zpBG() const;
    QColor zpPanel() const;
    QColor zpPanel2() const;
    QColor zpBorder() const;
    QColor zpText() const;
    QColor zpTextDim() const;
    QColor accent() const { return colorFromHex(QStringLiteral("07c160")); }
    QColor danger() const { return colorFromHex(QStringLiteral("e5484d")); }

    Q_INVOKABLE QColor hex(const QString &text) const { return colorFromHex(text); }
    // The system font at baseSize × the current factor, with the given weight (QFont::Weight / Font.*)
    // and letter spacing in pixels. Sizes are logical pixels, as points are on a phone.
    Q_INVOKABLE QFont zp(double baseSize, int weight = QFont::Normal, double letterSpacing = 0) const;

Q_SIGNALS:
    void darkChanged();

private:
    QColor pick(const char *darkHex, const char *lightHex) const;

    bool m_dark = true;
};
