#pragma once
// The administrator's sheet: five fields and the hall commands they send over the live channel.
// Nothing is trimmed; an empty field or an unreadable limit makes its button do nothing. The
// server answers with live events, so the sheet only confirms with a toast where one is due.
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>
#include <functional>
#include <optional>

class AdminConsole : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString maxOnline MEMBER m_maxOnline NOTIFY fieldsChanged)
    Q_PROPERTY(QString hallName MEMBER m_hallName NOTIFY fieldsChanged)
    Q_PROPERTY(QString banUsername MEMBER m_banUsername NOTIFY fieldsChanged)
    Q_PROPERTY(QString unbanUsername MEMBER m_unbanUsername NOTIFY fieldsChanged)
    Q_PROPERTY(QString announceText MEMBER m_announceText NOTIFY fieldsChanged)

public:
    using Sender = std::function<void(const QJsonObject &command)>;

    explicit AdminConsole(QObject *parent = nullptr);

    // A decimal integer with an optional leading "+" or "-", nothing around it.
    static std::optional<int> parseLimit(const QString &text);

    Q_INVOKABLE void setLimit();
    Q_INVOKABLE void renameHall();
    // No confirmation: the first tap clears.
    Q_INVOKABLE void clearHall();
    Q_INVOKABLE void ban();
    Q_INVOKABLE void unban();
    Q_INVOKABLE void announce();

    void setSender(Sender sender) { m_send = std::move(sender); }

Q_SIGNALS:
    void fieldsChanged();
    // A confirmation for the chat state's toast, shown whether or not the command could leave.
    void toast(const QString &text);

private:
    void clearField(QString &field);

    QString m_maxOnline;
    QString m_hallName;
    QString m_banUsername;
    QString m_unbanUsername;
    QString m_announceText;
    Sender m_send;
};
