#include "LogEntry.h"

#include <charconv>
#include <chrono>

namespace {
void appendJsonString(QByteArray &out, const QString &text)
{
    static constexpr char hex[] = "0123456789abcdef";
    out += '"';
    for (const char c : text.toUtf8()) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (byte < 0x20) {
            out += "\\u00";
            out += hex[byte >> 4];
            out += hex[byte & 0xf];
        } else {
            out += c;
        }
    }
    out += '"';
}
} // namespace

double LogEntry::now()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count() / 1e6;
}

QByteArray LogEntry::toJson() const
{
    // Written by hand: the key order is part of the format and QJsonObject would sort the keys.
    QByteArray out;
    out.reserve(64 + module.size() + message.size() * 3);
    char number[32];
    // The shortest text that reads back as the same double.
    const auto [end, error] = std::to_chars(number, number + sizeof number, timestamp);
    Q_UNUSED(error);
    out += "{\"timestamp\":";
    out.append(number, end - number);
    out += ",\"level\":";
    appendJsonString(out, logLevelName(level));
    out += ",\"module\":";
    appendJsonString(out, module);
    out += ",\"message\":";
    appendJsonString(out, message);
    out += '}';
    return out;
}
