#pragma once
// The update server's version file: {"version": …, "url": …, "notes": …, "sha256": …}; unknown keys
// are ignored.
#include "JsonCoding.h"

#include <QString>
#include <optional>

struct AppUpdateInfo
{
    QString version;
    QString url; // the installation package
    std::optional<QString> notes;
    std::optional<QString> sha256; // of the package, in hex; a download that does not match fails

    // Strictly newer than the running build; a build without a version counts as "1.0.0".
    bool isNewerThan(const std::optional<QString> &currentVersion) const;
};

template <>
struct JsonCodec<AppUpdateInfo>
{
    static Result<AppUpdateInfo> decode(const QJsonValue &json);
    static QJsonValue encode(const AppUpdateInfo &info);
};
