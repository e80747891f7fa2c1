#pragma once
// What users read when a request got no HTTP answer at all (refused, no such host, timed out, a
// certificate nobody trusts, no network): one short Chinese text per failure, used by every screen
// and alert that shows a transport failure. Qt's own English text goes to the logs instead.
#include <QString>
#include <chrono>

class QNetworkReply;

namespace TransportError {

// True when `reply` failed without an HTTP answer; an HTTP error status is not a transport failure.
bool failed(const QNetworkReply &reply);

// The text users see for a failed reply (any error code); logs Qt's text with the request's address.
QString describe(const QNetworkReply &reply);

// Gives up on `reply` once no data has moved for `timeout` (a server that accepts the connection
// and never answers). Qt 6.4's own transfer timeout reports a plain cancellation, which would read
// "已取消"; a reply given up here reads "请求超时".
void expireAfter(QNetworkReply *reply, std::chrono::milliseconds timeout);

} // namespace TransportError
