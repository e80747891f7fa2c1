#include "MessageFormat.h"

#include "ServerConfig.h"

#include <QRegularExpression>

MessageFormat::MessageFormat(QObject *parent) : QObject(parent) {}

QList<MessageFormat::Run> MessageFormat::mentionRuns(const QString &content)
{
    // \w over Unicode letters and digits, as the server's clients highlight them.
    static const QRegularExpression mention(QStringLiteral("@([\\w\\x{4e00}-\\x{9fa5}]+)"),
                                            QRegularExpression::UseUnicodePropertiesOption);
    QList<Run> runs;
    if (!mention.isValid()) {
        runs.append({content, false});
        return runs;
    }
    qsizetype position = 0;
    for (auto it = mention.globalMatch(content); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        if (match.capturedStart() > position)
            runs.append({content.mid(position, match.capturedStart() - position), false});
        runs.append({match.captured(), true});
        position = match.capturedEnd();
    }
    if (position < content.size())
        runs.append({content.mid(position), false});
    return runs;
}

MessageFormat::Grid MessageFormat::imageGrid(int count)
{
    if (count <= 1)
        return {1, 160, 160};
    return {count == 2 ? 2 : 3, 70, 220};
}

QString MessageFormat::mentionMarkup(const QString &content, const QString &plainColor, const QString &mentionColor)
{
    QString markup;
    for (const Run &run : mentionRuns(content)) {
        // Line breaks and runs of spaces survive styled text as markup.
        QString text = run.text.toHtmlEscaped();
        text.replace(QLatin1Char('\n'), QLatin1String("<br>"));
        text.replace(QLatin1String("  "), QLatin1String("&nbsp; "));
        markup += run.mention ? QStringLiteral("<font color=\"%1\"><b>%2</b></font>").arg(mentionColor, text)
                              : QStringLiteral("<font color=\"%1\">%2</font>").arg(plainColor, text);
    }
    return markup;
}

QVariantMap MessageFormat::gridFor(int count)
{
    const Grid grid = imageGrid(count);
    return {{QStringLiteral("columns"), grid.columns},
            {QStringLiteral("cell"), grid.cell},
            {QStringLiteral("maxWidth"), grid.maxWidth}};
}

QString MessageFormat::imageURL(const QString &path)
{
    return ServerConfig::resolveImageURL(path);
}
