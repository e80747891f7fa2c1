#include "TextLimit.h"

#include "Graphemes.h"

QString TextLimit::clip(const QString &text, int limit)
{
    return Graphemes::count(text) > limit ? Graphemes::prefix(text, limit) : text;
}
