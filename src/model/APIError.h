#pragma once
// The REST client's own failures. Decoding failures are not APIErrors: they reach the caller as the
// decoder's error text.
#include <QString>

class APIError
{
public:
    enum class Kind { HttpError, ServerError, InvalidResponse };

    static APIError httpError(int status);
    static APIError serverError(const QString &message);
    static APIError invalidResponse();

    Kind kind() const { return m_kind; }
    int status() const { return m_status; }           // HttpError only, else 0
    QString message() const { return m_message; }     // ServerError only, else empty

    // The text screens show: "HTTP错误 500", the server's message unchanged, or "无效响应".
    QString description() const;

    bool operator==(const APIError &) const = default;

private:
    APIError(Kind kind, int status, QString message);

    Kind m_kind;
    int m_status;
    QString m_message;
};
