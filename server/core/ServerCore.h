#pragma once
// The whole server in one object: storage, accounts, the REST endpoints and the WebSocket hub on one
// TLS port. The executable and the tests both run it.
#include "cli/ServerOptions.h"

#include <QObject>
#include <memory>

class ChatHub;
class Database;
class QHttpServer;

class ServerCore : public QObject
{
    Q_OBJECT
public:
    explicit ServerCore(ServerOptions options, QObject *parent = nullptr);
    ~ServerCore() override;

    // Opens the database and starts listening; false with errorText() on failure.
    bool start();
    QString errorText() const { return m_error; }
    quint16 port() const { return m_port; }

    ChatHub &hub();
    Database &database();

private:
    struct Parts;
    ServerOptions m_options;
    std::unique_ptr<Parts> m_parts;
    QString m_error;
    quint16 m_port = 0;
};
