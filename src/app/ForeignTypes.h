#pragma once
// Process-wide services that screens use directly, exposed to QML as the shared instances.
#include "WebSocketService.h"

#include <QJSEngine>
#include <QQmlEngine>
#include <QtQml/qqml.h>

struct WebSocketServiceForeign
{
    Q_GADGET
    QML_FOREIGN(WebSocketService)
    QML_NAMED_ELEMENT(WebSocketService)
    QML_SINGLETON

public:
    static WebSocketService *create(QQmlEngine *, QJSEngine *)
    {
        WebSocketService *service = &WebSocketService::shared();
        QJSEngine::setObjectOwnership(service, QJSEngine::CppOwnership);
        return service;
    }
};
