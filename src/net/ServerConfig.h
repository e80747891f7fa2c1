#pragma once
// The one chat server address and everything derived from it. The base URL is read from
// "zp_server_url" at every use, exactly as the user typed it (a trailing "/" stays).
#include <QString>
#include <QUrl>
#include <optional>

namespace ServerConfig {

inline constexpr const char *settingsKey = "zp_server_url";

QString defaultBaseURL();
// The stored base URL, or the default when none is stored.
QString baseURL();
// base + path, parsed; nothing when the text does not parse as a URL.
std::optional<QUrl> url(const QString &path);
// Always "wss://…/ws": an "https://" or "http://" prefix (case-sensitive) is dropped first.
QString wsURL();
// Chat and moment images: "http…" stays as it is, anything else is appended to the base URL.
QString resolveImageURL(const QString &image);
// The server settings screen's preview, from the text being edited: https→wss, http→ws, else ws.
QString derivedWSURL(const QString &baseText);

} // namespace ServerConfig
