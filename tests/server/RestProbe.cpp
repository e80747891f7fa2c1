#include "RestProbe.h"

#include <QJsonDocument>
#include <QNetworkReply>
#include <QSignalSpy>

QByteArray RestReply::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return {};
}

RestReply RestProbe::finish(QNetworkReply *reply)
{
    QSignalSpy finished(reply, &QNetworkReply::finished);
    if (!reply->isFinished())
        finished.wait(20000);
    RestReply result;
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.body = reply->readAll();
    result.json = QJsonDocument::fromJson(result.body).object();
    result.headers = reply->rawHeaderPairs();
    if (reply->error() != QNetworkReply::NoError && result.status == 0)
        result.transportError = reply->errorString();
    reply->deleteLater();
    return result;
}

RestReply RestProbe::post(const QString &path, const QJsonObject &body)
{
    return postRaw(path, QJsonDocument(body).toJson(QJsonDocument::Compact));
}

RestReply RestProbe::postRaw(const QString &path, const QByteArray &body)
{
    QNetworkRequest request(m_base.resolved(QUrl(path)));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    return finish(m_manager.post(request, body));
}

RestReply RestProbe::get(const QString &pathAndQuery)
{
    return finish(m_manager.get(QNetworkRequest(m_base.resolved(QUrl(pathAndQuery)))));
}

RestReply RestProbe::login(const QString &name, const QString &password)
{
    return post(QStringLiteral("/api/login"), {{QStringLiteral("username"), name}, {QStringLiteral("password"), password}});
}

RestReply RestProbe::registerUser(const QString &name, const QString &password)
{
    return post(QStringLiteral("/api/register"), {{QStringLiteral("username"), name}, {QStringLiteral("password"), password}});
}
