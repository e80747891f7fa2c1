#include "ChatJsonWriter.h"

#include <algorithm>
#include <cstring>

namespace {
// A typical stored message takes about this many bytes of JSON.
constexpr qsizetype bytesPerMessage = 180;

char hexDigit(uint value)
{
    return char(value < 10 ? '0' + value : 'a' + value - 10);
}
} // namespace

QByteArray ChatJsonWriter::write(const QList<ChatMessage> &messages)
{
    ChatJsonWriter writer(messages.size() * bytesPerMessage + 2);
    writer.messageList(messages);
    return std::move(writer.m_out);
}

QByteArray ChatJsonWriter::write(const QHash<QString, QList<ChatMessage>> &rooms)
{
    qsizetype count = 0;
    for (const auto &room : rooms)
        count += room.size();
    ChatJsonWriter writer(count * bytesPerMessage + rooms.size() * 32 + 2);
    // A JSON object written by the codec lists its keys in sorted order.
    QStringList keys = rooms.keys();
    std::sort(keys.begin(), keys.end());
    writer.m_out += '{';
    for (qsizetype i = 0; i < keys.size(); ++i) {
        if (i > 0)
            writer.m_out += ',';
        writer.string(keys.at(i));
        writer.m_out += ':';
        writer.messageList(rooms.value(keys.at(i)));
    }
    writer.m_out += '}';
    return std::move(writer.m_out);
}

void ChatJsonWriter::messageList(const QList<ChatMessage> &messages)
{
    m_out += '[';
    for (qsizetype i = 0; i < messages.size(); ++i) {
        if (i > 0)
            m_out += ',';
        message(messages.at(i));
    }
    m_out += ']';
}

void ChatJsonWriter::message(const ChatMessage &message)
{
    // The record's keys in sorted order; absent optionals and the client-side flag are left out.
    m_out += '{';
    if (message.clientId) {
        key("clientId");
        string(*message.clientId);
        m_out += ',';
    }
    key("content");
    string(message.content);
    optionalBool("failed", message.failed);
    m_out += ',';
    key("from");
    string(message.from);
    optionalString("fromAvatar", message.fromAvatar);
    optionalBool("fromBot", message.fromBot);
    optionalString("fromName", message.fromName);
    optionalString("fromRole", message.fromRole);
    optionalString("gid", message.gid);
    m_out += ',';
    key("id");
    string(message.id);
    if (message.images) {
        m_out += ',';
        key("images");
        m_out += '[';
        for (qsizetype i = 0; i < message.images->size(); ++i) {
            if (i > 0)
                m_out += ',';
            string(message.images->at(i));
        }
        m_out += ']';
    }
    m_out += ',';
    key("time");
    m_out += QByteArray::number(message.time);
    optionalString("to", message.to);
    m_out += '}';
}

void ChatJsonWriter::key(const char *name)
{
    m_out += '"';
    m_out.append(name, qsizetype(std::strlen(name)));
    m_out += "\":";
}

void ChatJsonWriter::optionalString(const char *name, const std::optional<QString> &value)
{
    if (!value)
        return;
    m_out += ',';
    key(name);
    string(*value);
}

void ChatJsonWriter::optionalBool(const char *name, const std::optional<bool> &value)
{
    if (!value)
        return;
    m_out += ',';
    key(name);
    m_out += *value ? "true" : "false";
}

void ChatJsonWriter::string(const QString &text)
{
    // The escapes of QJsonDocument: the two-character forms for quote, backslash and \b \f \n \r \t,
    // \u00xx for other control characters, UTF-8 for everything else, \uxxxx for a lone surrogate.
    m_out += '"';
    const char16_t *it = reinterpret_cast<const char16_t *>(text.constData());
    const char16_t *const end = it + text.size();
    while (it != end) {
        const char16_t *run = it;
        while (it != end && *it >= 0x20 && *it < 0x80 && *it != u'"' && *it != u'\\')
            ++it;
        if (it != run) {
            const qsizetype length = it - run;
            const qsizetype at = m_out.size();
            m_out.resize(at + length);
            char *out = m_out.data() + at;
            for (qsizetype i = 0; i < length; ++i)
                out[i] = char(run[i]);
            continue;
        }
        const char16_t unit = *it++;
        if (unit < 0x80) {
            m_out += '\\';
            switch (unit) {
            case u'"': m_out += '"'; break;
            case u'\\': m_out += '\\'; break;
            case u'\b': m_out += 'b'; break;
            case u'\f': m_out += 'f'; break;
            case u'\n': m_out += 'n'; break;
            case u'\r': m_out += 'r'; break;
            case u'\t': m_out += 't'; break;
            default:
                m_out += "u00";
                m_out += hexDigit(unit >> 4);
                m_out += hexDigit(unit & 0xf);
            }
        } else if (unit < 0x800) {
            m_out += char(0xc0 | (unit >> 6));
            m_out += char(0x80 | (unit & 0x3f));
        } else if (QChar::isHighSurrogate(unit) && it != end && QChar::isLowSurrogate(*it)) {
            const char32_t point = QChar::surrogateToUcs4(unit, *it++);
            m_out += char(0xf0 | (point >> 18));
            m_out += char(0x80 | ((point >> 12) & 0x3f));
            m_out += char(0x80 | ((point >> 6) & 0x3f));
            m_out += char(0x80 | (point & 0x3f));
        } else if (QChar::isSurrogate(unit)) {
            m_out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4)
                m_out += hexDigit((unit >> shift) & 0xf);
        } else {
            m_out += char(0xe0 | (unit >> 12));
            m_out += char(0x80 | ((unit >> 6) & 0x3f));
            m_out += char(0x80 | (unit & 0x3f));
        }
    }
    m_out += '"';
}
