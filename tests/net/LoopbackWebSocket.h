#pragma once
// A WebSocket test server that the stored server address points at, over throw-away settings and a
// freshly trusted test CA.
#include "LoopbackTls.h"
#include "WebSocketTestServer.h"

#include <QTemporaryDir>
#include <memory>

struct LoopbackWebSocket
{
    QTemporaryDir settings;
    std::unique_ptr<WebSocketTestServer> server;

    // False when the certificates or the listening socket could not be made.
    bool start()
    {
        SettingsStore::shared().setLocation(settings.path());
        const std::optional<DevCertificates> certificates = loopback::trustedCertificates();
        if (!certificates)
            return false;
        server = std::make_unique<WebSocketTestServer>(*certificates);
        if (server->listen() == 0)
            return false;
        loopback::setServer(server->baseURL());
        return true;
    }
};
