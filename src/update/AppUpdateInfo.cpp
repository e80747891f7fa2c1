#include "AppUpdateInfo.h"

#include "JsonFields.h"
#include "VersionComparison.h"

bool AppUpdateInfo::isNewerThan(const std::optional<QString> &currentVersion) const
{
    return compareVersions(version, currentVersion.value_or(QStringLiteral("1.0.0"))) > 0;
}

Result<AppUpdateInfo> JsonCodec<AppUpdateInfo>::decode(const QJsonValue &json)
{
    JsonFields fields(json, "AppUpdateInfo");
    AppUpdateInfo info;
    fields.required(QLatin1StringView("version"), info.version);
    fields.required(QLatin1StringView("url"), info.url);
    fields.optional(QLatin1StringView("notes"), info.notes);
    fields.optional(QLatin1StringView("sha256"), info.sha256);
    return fields.finish(std::move(info));
}

QJsonValue JsonCodec<AppUpdateInfo>::encode(const AppUpdateInfo &info)
{
    QJsonObject object{{QStringLiteral("version"), info.version}, {QStringLiteral("url"), info.url}};
    if (info.notes)
        object.insert(QStringLiteral("notes"), *info.notes);
    if (info.sha256)
        object.insert(QStringLiteral("sha256"), *info.sha256);
    return object;
}
