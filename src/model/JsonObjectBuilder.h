#pragma once
// Writes a record's members into a JSON object: present values always, absent optionals never
// (a stored record read back must not see null where it wrote nothing).
#include "JsonCoding.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QLatin1StringView>
#include <QStringList>
#include <optional>

class JsonObjectBuilder
{
public:
    JsonObjectBuilder &put(QLatin1StringView key, const QString &value) { return insert(key, value); }
    JsonObjectBuilder &put(QLatin1StringView key, bool value) { return insert(key, value); }
    JsonObjectBuilder &put(QLatin1StringView key, qint64 value) { return insert(key, value); }
    JsonObjectBuilder &put(QLatin1StringView key, int value) { return insert(key, value); }
    JsonObjectBuilder &put(QLatin1StringView key, const QStringList &value)
    {
        return insert(key, QJsonArray::fromStringList(value));
    }
    // Nested records and lists or maps of them.
    template <typename T>
    JsonObjectBuilder &put(QLatin1StringView key, const T &value)
    {
        return insert(key, JsonCodec<T>::encode(value));
    }
    template <typename T>
    JsonObjectBuilder &put(QLatin1StringView key, const std::optional<T> &value)
    {
        return value ? put(key, *value) : *this;
    }

    QJsonObject object() const { return m_object; }

private:
    JsonObjectBuilder &insert(QLatin1StringView key, const QJsonValue &value)
    {
        m_object.insert(key, value);
        return *this;
    }

    QJsonObject m_object;
};
