#include "JsonFields.h"

#include <limits>

JsonFields::JsonFields(const QJsonValue &json, const char *record) : m_record(record)
{
    if (json.isObject())
        m_object = json.toObject();
    else {
        m_failed = true;
        m_error = QStringLiteral("%1: expected an object").arg(QLatin1StringView(m_record));
    }
}

void JsonFields::fail(QLatin1StringView key, const QString &why)
{
    m_failed = true;
    // A list's own error starts with the element index: "groups"[3]: ...
    const QLatin1StringView glue = why.startsWith(u'[') ? QLatin1StringView("") : QLatin1StringView(": ");
    m_error = QLatin1StringView(m_record) + QLatin1StringView(": \"") + key + u'"' + glue + why;
}

static bool explain(QString *why, const char *text)
{
    if (why)
        *why = QLatin1StringView(text);
    return false;
}

bool JsonFields::read(const QJsonValueConstRef &value, QString &out, QString *why)
{
    if (!value.isString())
        return explain(why, "expected a string");
    out = value.toString();
    return true;
}

bool JsonFields::read(const QJsonValueConstRef &value, bool &out, QString *why)
{
    if (!value.isBool())
        return explain(why, "expected a boolean");
    out = value.toBool();
    return true;
}

// Qt keeps an integer literal that fits in 64 bits exactly; any other number (a fraction, an
// exponent, a literal beyond 64 bits) is held as a double, which toInteger() accepts only when it
// is whole and inside the qint64 range. Such doubles are exact only up to 2^53, so a huge number
// written with an exponent may arrive rounded; the server writes plain integer literals.
bool JsonFields::read(const QJsonValueConstRef &value, qint64 &out, QString *why)
{
    constexpr qint64 sentinel = std::numeric_limits<qint64>::min();
    if (!value.isDouble())
        return explain(why, "expected an integer");
    const qint64 integer = value.toInteger(sentinel);
    // The sentinel comes back for a refused number, but it is also a legal value in its own right.
    if (integer == sentinel && value.toDouble() != double(sentinel))
        return explain(why, "expected an integer");
    out = integer;
    return true;
}

bool JsonFields::read(const QJsonValueConstRef &value, int &out, QString *why)
{
    qint64 wide = 0;
    if (!read(value, wide, why))
        return false;
    if (wide < std::numeric_limits<int>::min() || wide > std::numeric_limits<int>::max())
        return explain(why, "expected an integer");
    out = int(wide);
    return true;
}

bool JsonFields::read(const QJsonValueConstRef &value, QStringList &out, QString *why)
{
    if (!value.isArray())
        return explain(why, "expected an array of strings");
    const QJsonArray array = value.toArray();
    out.clear();
    out.reserve(array.size());
    for (auto it = array.constBegin(); it != array.constEnd(); ++it) {
        const QJsonValueConstRef element = *it;
        if (!element.isString()) {
            if (why)
                *why = QStringLiteral("[%1]: expected a string").arg(it - array.constBegin());
            return false;
        }
        out.append(element.toString());
    }
    return true;
}
