#pragma once
// URL rules of the image views. URLs travel as text so that the cache key is taken from exactly
// what the server sent (QUrl would normalise it).
#include <QString>
#include <optional>

// Whether the text parses as a URL (strictly: no spaces or other characters a URL may not hold).
bool parsesAsURL(const QString &text);

// Avatars: nothing for a missing or empty string; "http://" and "https://" (case-sensitive) are
// used as they are; anything else is a path on the chat server, joined to the base URL with exactly
// one "/". Nothing when the result does not parse.
std::optional<QString> resolveAvatarURL(const std::optional<QString> &avatar);
