#pragma once
// Reads the members of one JSON object into a record. The reader remembers the first failure, so a
// record's decoder reads straight through its members and asks for the outcome once at the end.
// Members are looked up in place (no copies of the object, no intermediate maps) because the hello
// snapshot decodes tens of thousands of records at once.
#include "JsonCoding.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QLatin1StringView>
#include <QString>
#include <QStringList>
#include <optional>

class JsonFields
{
public:
    // `record` names the record in error texts, e.g. "ChatMessage".
    JsonFields(const QJsonValue &json, const char *record);

    // Missing, null or of the wrong type fails the record.
    template <typename T>
    void required(QLatin1StringView key, T &out)
    {
        if (m_failed)
            return;
        const auto it = m_object.constFind(key);
        if (it == m_object.constEnd())
            return fail(key, QStringLiteral("missing"));
        QString why;
        if (!read(it.value(), out, &why))
            fail(key, why);
    }

    // Missing or null gives absent; present with the wrong type fails the record.
    template <typename T>
    void optional(QLatin1StringView key, std::optional<T> &out)
    {
        if (m_failed)
            return;
        const auto it = m_object.constFind(key);
        if (it == m_object.constEnd() || it.value().isNull())
            return;
        T value{};
        QString why;
        if (!read(it.value(), value, &why))
            return fail(key, why);
        out = std::move(value);
    }

    // Absent whenever the member is missing or unreadable; never fails the record.
    template <typename T>
    void lenient(QLatin1StringView key, std::optional<T> &out)
    {
        const auto it = m_object.constFind(key);
        if (it == m_object.constEnd())
            return;
        T value{};
        if (read(it.value(), value, nullptr))
            out = std::move(value);
    }

    // Empty whenever the member is missing or unreadable (any bad element empties the whole list).
    template <typename T>
    void lenientList(QLatin1StringView key, QList<T> &out)
    {
        const auto it = m_object.constFind(key);
        if (it == m_object.constEnd() || !read(it.value(), out, nullptr))
            out.clear();
    }

    bool failed() const { return m_failed; }

    // The record, or the first failure prefixed with the record's name.
    template <typename R>
    Result<R> finish(R &&record) const
    {
        if (m_failed)
            return Result<R>::failure(m_error);
        return Result<R>(std::move(record));
    }

    // Readers of one JSON value; on failure they explain why in *why when it is given.
    static bool read(const QJsonValueConstRef &value, QString &out, QString *why);
    static bool read(const QJsonValueConstRef &value, bool &out, QString *why);
    static bool read(const QJsonValueConstRef &value, qint64 &out, QString *why);
    static bool read(const QJsonValueConstRef &value, int &out, QString *why);
    static bool read(const QJsonValueConstRef &value, QStringList &out, QString *why);
    // Nested records and lists or maps of them go through their own codec.
    template <typename T>
    static bool read(const QJsonValueConstRef &value, T &out, QString *why)
    {
        Result<T> decoded = JsonCodec<T>::decode(QJsonValue(value));
        if (!decoded) {
            if (why)
                *why = decoded.error();
            return false;
        }
        out = std::move(decoded).value();
        return true;
    }

private:
    void fail(QLatin1StringView key, const QString &why);

    QJsonObject m_object;
    const char *m_record;
    bool m_failed = false;
    QString m_error;
};
