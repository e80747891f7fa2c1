#include "HostileUser.h"

#include <QBuffer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>

namespace {
QByteArray largePngBase64()
{
    QImage image(5000, 6000, QImage::Format_RGB32); // 30 megapixels, under the 32 megapixel cap
    image.fill(Qt::darkGreen);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png.toBase64();
}
} // namespace

HostileUser::HostileUser(const QUrl &baseUrl, const QString &token, QObject *parent)
    : QObject(parent), m_base(baseUrl), m_token(token), m_image(largePngBase64())
{
    connect(&m_commentTimer, &QTimer::timeout, this, [this] {
        if (m_moment.isEmpty())
            return;
        const QJsonObject comment{{QStringLiteral("type"), QStringLiteral("moment-comment")},
                                  {QStringLiteral("mid"), m_moment},
                                  {QStringLiteral("text"), QStringLiteral("spam %1").arg(m_comments)}};
        m_socket.sendTextMessage(QString::fromUtf8(QJsonDocument(comment).toJson(QJsonDocument::Compact)));
        ++m_comments;
    });
    connect(&m_uploadTimer, &QTimer::timeout, this, &HostileUser::postMoment);
    connect(&m_socket, &QWebSocket::connected, this, [this] {
        m_socket.sendTextMessage(QStringLiteral("{\"type\":\"auth\",\"token\":\"%1\"}").arg(m_token));
    });
}

void HostileUser::start(double commandsPerSecond, double uploadsPerSecond)
{
    QUrl socketUrl = m_base.resolved(QUrl(QStringLiteral("/ws")));
    socketUrl.setScheme(QStringLiteral("wss"));
    m_socket.open(socketUrl);
    m_commentTimer.start(int(1000 / commandsPerSecond));
    m_uploadTimer.start(int(1000 / uploadsPerSecond));
    postMoment();
}

void HostileUser::stop()
{
    m_commentTimer.stop();
    m_uploadTimer.stop();
    m_socket.abort();
}

void HostileUser::postMoment()
{
    QNetworkRequest request(m_base.resolved(QUrl(QStringLiteral("/api/moment-post"))));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    const QJsonObject body{{QStringLiteral("token"), m_token},
                           {QStringLiteral("text"), QStringLiteral("flood %1").arg(m_uploads)},
                           {QStringLiteral("images"), QJsonArray{QString::fromLatin1(m_image)}}};
    QNetworkReply *reply = m_network.post(request, QJsonDocument(body).toJson(QJsonDocument::Compact));
    ++m_uploads;
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        const QJsonObject answer = QJsonDocument::fromJson(reply->readAll()).object();
        const QString id = answer.value(QStringLiteral("moment")).toObject().value(QStringLiteral("id")).toString();
        if (id.isEmpty())
            return;
        ++m_accepted;
        m_moment = id;
    });
}
