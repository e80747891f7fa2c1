#pragma once
// Text measured as people count it: an emoji sequence, a CJK character or a letter with its marks
// is one character (a grapheme cluster), whatever its length in UTF-16.
#include <QString>

namespace Graphemes {

int count(const QString &text);
// The first `limit` user-perceived characters of the text (all of it when shorter).
QString prefix(const QString &text, int limit);

} // namespace Graphemes
