#include "Graphemes.h"

#include <QTextBoundaryFinder>

namespace Graphemes {

int count(const QString &text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

QString prefix(const QString &text, int limit)
{
    if (limit <= 0)
        return {};
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int seen = 0;
    qsizetype end = 0;
    while ((end = finder.toNextBoundary()) != -1) {
        if (++seen == limit)
            return text.left(end);
    }
    return text;
}

} // namespace Graphemes
