#pragma once
// One way in and out of JSON for every record: JsonCodec<T> is specialised per record type in the
// record's own header; lists and string-keyed maps of any coded type come for free.
#include "Result.h"

#include <QByteArray>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QList>
#include <QMap>

template <typename T>
struct JsonCodec; // static Result<T> decode(const QJsonValue &); static QJsonValue encode(const T &);

template <typename T>
Result<T> fromJson(const QJsonValue &json)
{
    return JsonCodec<T>::decode(json);
}

template <typename T>
QJsonValue toJson(const T &value)
{
    return JsonCodec<T>::encode(value);
}

// Parses UTF-8 JSON text and decodes it as T.
template <typename T>
Result<T> decodeJson(const QByteArray &utf8)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(utf8, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return Result<T>::failure(QStringLiteral("invalid JSON at offset %1: %2")
                                      .arg(parseError.offset)
                                      .arg(parseError.errorString()));
    return fromJson<T>(document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object()));
}

// Compact UTF-8 JSON text of a value.
template <typename T>
QByteArray encodeJson(const T &value)
{
    const QJsonValue json = toJson(value);
    return json.isArray() ? QJsonDocument(json.toArray()).toJson(QJsonDocument::Compact)
                          : QJsonDocument(json.toObject()).toJson(QJsonDocument::Compact);
}

template <typename T>
struct JsonCodec<QList<T>>
{
    static Result<QList<T>> decode(const QJsonValue &json)
    {
        if (!json.isArray())
            return Result<QList<T>>::failure(QStringLiteral("expected an array"));
        const QJsonArray array = json.toArray();
        QList<T> items;
        items.reserve(array.size());
        for (qsizetype i = 0; i < array.size(); ++i) {
            Result<T> item = JsonCodec<T>::decode(array.at(i));
            if (!item)
                return Result<QList<T>>::failure(QStringLiteral("[%1]: %2").arg(i).arg(item.error()));
            items.append(std::move(item).value());
        }
        return items;
    }
    static QJsonValue encode(const QList<T> &items)
    {
        QJsonArray array;
        for (const T &item : items)
            array.append(JsonCodec<T>::encode(item));
        return array;
    }
};

template <typename T>
struct JsonCodec<QHash<QString, T>>
{
    static Result<QHash<QString, T>> decode(const QJsonValue &json)
    {
        if (!json.isObject())
            return Result<QHash<QString, T>>::failure(QStringLiteral("expected an object"));
        const QJsonObject object = json.toObject();
        QHash<QString, T> map;
        map.reserve(object.size());
        for (auto it = object.begin(); it != object.end(); ++it) {
            Result<T> item = JsonCodec<T>::decode(it.value());
            if (!item)
                return Result<QHash<QString, T>>::failure(QStringLiteral("\"%1\": %2").arg(it.key(), item.error()));
            map.insert(it.key(), std::move(item).value());
        }
        return map;
    }
    static QJsonValue encode(const QHash<QString, T> &map)
    {
        QJsonObject object;
        for (auto it = map.begin(); it != map.end(); ++it)
            object.insert(it.key(), JsonCodec<T>::encode(it.value()));
        return object;
    }
};

// Plain strings and booleans, so that bodies like {"ok": true} or {"error": "..."} decode as maps.
template <>
struct JsonCodec<QString>
{
    static Result<QString> decode(const QJsonValue &json)
    {
        if (!json.isString())
            return Result<QString>::failure(QStringLiteral("expected a string"));
        return json.toString();
    }
    static QJsonValue encode(const QString &value) { return value; }
};

template <>
struct JsonCodec<bool>
{
    static Result<bool> decode(const QJsonValue &json)
    {
        if (!json.isBool())
            return Result<bool>::failure(QStringLiteral("expected a boolean"));
        return json.toBool();
    }
    static QJsonValue encode(bool value) { return value; }
};
