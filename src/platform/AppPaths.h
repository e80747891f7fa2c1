#pragma once
// Where Zephlin keeps its files: the platform's config, data and cache folders for this app.
#include <QString>

namespace AppPaths {
QString configDir();
QString dataDir();
QString cacheDir();
// Creates the folder (and parents) and restricts it to the owner; returns false when it cannot.
bool ensurePrivateDir(const QString &path);
} // namespace AppPaths
