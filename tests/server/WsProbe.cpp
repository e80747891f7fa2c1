#include "WsProbe.h"

#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>

QJsonObject frame(const QString &type, std::initializer_list<QPair<QString, QJsonValue>> members)
{
    QJsonObject object{{QStringLiteral("type"), type}};
    for (const auto &[key, value] : members)
        object.insert(key, value);
    return object;
}

QString errorOf(const QJsonObject &event)
{
    return event.value(QStringLiteral("error")).toString();
}

WsProbe::WsProbe(const QUrl &url) : m_url(url)
{
    connect(&m_socket, &QWebSocket::textMessageReceived, this,
            [this](const QString &text) { m_frames << QJsonDocument::fromJson(text.toUtf8()).object(); });
}

std::unique_ptr<WsProbe> WsProbe::signedIn(const QUrl &url, const QString &token)
{
    auto probe = std::make_unique<WsProbe>(url);
    return probe->open() && !probe->signIn(token).isEmpty() ? std::move(probe) : nullptr;
}

bool WsProbe::open()
{
    QSignalSpy connected(&m_socket, &QWebSocket::connected);
    m_socket.open(m_url);
    return connected.wait(10000);
}

void WsProbe::send(const QJsonObject &frame)
{
    m_socket.sendTextMessage(QString::fromUtf8(QJsonDocument(frame).toJson(QJsonDocument::Compact)));
}

QJsonObject WsProbe::signIn(const QString &token)
{
    send({{QStringLiteral("type"), QStringLiteral("auth")}, {QStringLiteral("token"), token}});
    return waitFor(QStringLiteral("hello"));
}

QJsonObject WsProbe::ask(const QJsonObject &command, const QString &replyType)
{
    send(command);
    return waitFor(replyType);
}

QString WsProbe::refused(const QJsonObject &command)
{
    return errorOf(ask(command, QStringLiteral("error")));
}

QJsonObject WsProbe::take(const QString &type)
{
    for (qsizetype i = 0; i < m_frames.size(); ++i)
        if (m_frames.at(i).value(QStringLiteral("type")).toString() == type)
            return m_frames.takeAt(i);
    return {};
}

QJsonObject WsProbe::waitFor(const QString &type, int timeoutMs)
{
    QJsonObject found = take(type);
    QElapsedTimer timer;
    timer.start();
    while (found.isEmpty() && timer.elapsed() < timeoutMs) {
        QTest::qWait(5);
        found = take(type);
    }
    return found;
}

bool WsProbe::quietFor(const QString &type, int ms)
{
    QTest::qWait(ms);
    return take(type).isEmpty();
}

bool WsProbe::waitClosed(int timeoutMs)
{
    if (m_socket.state() == QAbstractSocket::UnconnectedState)
        return true;
    QSignalSpy disconnected(&m_socket, &QWebSocket::disconnected);
    return disconnected.wait(timeoutMs);
}
