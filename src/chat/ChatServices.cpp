#include "ChatServices.h"

#include "APIService.h"
#include "WebSocketService.h"

#include <QDateTime>
#include <QUuid>

ChatServices ChatServices::withDefaults() const
{
    ChatServices services = *this;
    if (!services.ws)
        services.ws = &WebSocketService::shared();
    if (!services.searchGroups)
        services.searchGroups = [](const QString &keyword, SearchReply reply) {
            APIService::shared().searchGroups(keyword, nullptr, std::move(reply));
        };
    if (!services.nowMs)
        services.nowMs = [] { return QDateTime::currentMSecsSinceEpoch(); };
    if (!services.newUuid)
        services.newUuid = [] { return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper(); };
    return services;
}
