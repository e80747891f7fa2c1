#include "APIError.h"

#include <utility>

APIError::APIError(Kind kind, int status, QString message)
    : m_kind(kind), m_status(status), m_message(std::move(message))
{
}

APIError APIError::httpError(int status)
{
    return APIError(Kind::HttpError, status, QString());
}

APIError APIError::serverError(const QString &message)
{
    return APIError(Kind::ServerError, 0, message);
}

APIError APIError::invalidResponse()
{
    return APIError(Kind::InvalidResponse, 0, QString());
}

QString APIError::description() const
{
    switch (m_kind) {
    case Kind::HttpError:
        return QStringLiteral("HTTP错误 ") + QString::number(m_status);
    case Kind::ServerError:
        return m_message;
    case Kind::InvalidResponse:
        break;
    }
    return QStringLiteral("无效响应");
}
