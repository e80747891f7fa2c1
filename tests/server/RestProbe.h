#pragma once
// Synchronous REST calls for tests, with a cookie jar of their own (one probe = one device).
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QUrl>

struct RestReply
{
    int status = 0;
    QByteArray body;
    QJsonObject json;
    QList<QPair<QByteArray, QByteArray>> headers;
    QString transportError;
    QByteArray header(const QByteArray &name) const;
    QString error() const { return json.value(QStringLiteral("error")).toString(); }
    // The status and the error text, "429 尝试次数过多，请稍后再试", to check a refusal in one comparison.
    QString outcome() const { return QString::number(status) + u' ' + error(); }
};

class RestProbe
{
public:
    explicit RestProbe(const QUrl &base) : m_base(base) {}

    RestReply post(const QString &path, const QJsonObject &body);
    RestReply postRaw(const QString &path, const QByteArray &body);
    RestReply get(const QString &pathAndQuery);
    // The sign-in and registration forms.
    RestReply login(const QString &name, const QString &password);
    RestReply registerUser(const QString &name, const QString &password);
    QNetworkAccessManager &manager() { return m_manager; }

private:
    RestReply finish(class QNetworkReply *reply);
    QUrl m_base;
    QNetworkAccessManager m_manager;
};
