#pragma once
// A WebSocket client for tests: records every frame and waits for frames by "type".
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QUrl>
#include <QWebSocket>
#include <memory>

// A command frame: "type" and the given members.
QJsonObject frame(const QString &type, std::initializer_list<QPair<QString, QJsonValue>> members = {});
// The "error" member of an event ("" when absent).
QString errorOf(const QJsonObject &event);

class WsProbe : public QObject
{
    Q_OBJECT
public:
    explicit WsProbe(const QUrl &url);
    // An open socket signed in with the token (its hello taken), or null.
    static std::unique_ptr<WsProbe> signedIn(const QUrl &url, const QString &token);

    bool open();
    void send(const QJsonObject &frame);
    // Sends "auth" and waits for "hello"; returns the hello frame (empty on failure).
    QJsonObject signIn(const QString &token);
    // Sends a command and waits for the reply of this type.
    QJsonObject ask(const QJsonObject &command, const QString &replyType);
    // Sends a command that must be refused; returns the refusal's text ("" when none came).
    QString refused(const QJsonObject &command);
    // Takes the first frame of this type that arrived or arrives within the timeout; empty on timeout.
    QJsonObject waitFor(const QString &type, int timeoutMs = 5000);
    // True when no frame of this type arrives within `ms` (for short, bounded checks).
    bool quietFor(const QString &type, int ms = 200);
    bool waitClosed(int timeoutMs = 5000);
    bool isOpen() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    QList<QJsonObject> &frames() { return m_frames; }

private:
    QJsonObject take(const QString &type);
    QUrl m_url;
    QWebSocket m_socket;
    QList<QJsonObject> m_frames;
};
