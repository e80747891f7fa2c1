#pragma once
// The WebSocket service's intervals. The defaults are the product's; tests shorten them so that
// reconnects and the watchdog run against real sockets without slow waits.
#include <chrono>

struct WebSocketTiming
{
    // Between opening the socket and sending the authentication frame.
    std::chrono::milliseconds authDelay{300};
    // WebSocket ping, repeating.
    std::chrono::milliseconds heartbeatInterval{15000};
    // Watchdog that reconnects while offline with a token, repeating.
    std::chrono::milliseconds connectionCheckInterval{1000};
    // A scheduled reconnect waits min(reconnectStepSeconds × attempt, reconnectCapSeconds).
    double reconnectStepSeconds = 2.0;
    double reconnectCapSeconds = 15.0;

    double reconnectDelaySeconds(int attempt) const
    {
        const double delay = reconnectStepSeconds * attempt;
        return delay < reconnectCapSeconds ? delay : reconnectCapSeconds;
    }
};
