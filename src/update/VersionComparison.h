#pragma once
// Version strings compared the way people read them: runs of digits by their numeric value (so
// 1.10 > 1.9), everything else character by character. Nothing is normalised, so a string that is
// a prefix of a longer one is the lower (1.0 < 1.0.0).
#include <QStringView>

// Negative, zero or positive as a is lower than, equal to or higher than b.
int compareVersions(QStringView a, QStringView b);
