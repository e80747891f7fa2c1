#pragma once
// Bounds that keep one abusive or buggy client from hurting everybody else. Tests shrink some of them.
#include <QtGlobal>

struct Limits
{
    qint64 maxRequestBody = 12 * 1024 * 1024;     // a moment with nine images still fits
    qint64 maxImageBytes = 5 * 1024 * 1024;       // one decoded upload
    int maxImagePixels = 32'000'000;              // Qt refuses to decode more than 128 MiB of pixels
    qint64 maxSmallBody = 16 * 1024;              // every request but the uploads
    qint64 maxFrameBytes = 64 * 1024;             // one WebSocket command
    int maxMessageChars = 4000;
    int maxImagesPerMessage = 9;
    int maxMomentChars = 2000;
    int maxCommentChars = 500;
    int maxGroupMembers = 500;
    int helloHallMessages = 200;                  // the client keeps at most 500 hall messages
    int helloRoomMessages = 100;                  // per direct room and per group
    int helloDirectRooms = 200;
    int feedMoments = 100;
    int searchResults = 50;
    int commandBurst = 20;                        // commands a user may send at once, over all connections
    double commandsPerSecond = 5;                 // refill rate of that allowance
    int momentActionBurst = 10;                   // likes and comments, per user
    double momentActionsPerSecond = 0.5;
    int uploadBurst = 20;                         // images, per user
    double uploadsPerSecond = 1;
    int signInBurst = 10;                         // successful sign-ins, per address
    double signInsPerSecond = 0.2;
    int connectionsPerUser = 8;                   // WebSockets one user may hold
    int connectionsPerAddress = 64;               // open TCP connections from one address
    int maxConnections = 4096;
    int pendingConnections = 1024;                // reconnect storms after a restart
    int imageCheckThreads = 1;                    // decoding uploads, off the event loop
    int imageCheckQueue = 16;                     // upload requests waiting or being checked; more get 503
    int passwordThreads = 1;                      // Argon2 for sign-ins, registrations, password changes
    int passwordQueue = 64;
    int sessionsPerUser = 20;                     // the oldest session goes when a new one would pass this
    int maxCommentsPerMoment = 100;
    qint64 maxFeedBytes = 1024 * 1024;            // the newest moments that fit are sent
    int authTimeoutMs = 10'000;                   // the "auth" frame must come first and soon
    int httpIdleTimeoutMs = 60'000;               // an HTTP connection silent this long is closed
    int handshakeTimeoutMs = 10'000;              // the TLS handshake of a new connection
    int requestDeadlineMs = 30'000;               // a request from its first byte to its end
    int presenceDelayMs = 300;                    // joins and leaves within this window share one broadcast
    int presenceBytesPerSecond = 32 * 1024 * 1024; // a node's presence broadcasts, at most (so a big site's are spaced)
    int feedDelayMs = 300;                        // so do moment changes: each sends whole feeds
    int nodeTimeoutMs = 15'000;                   // a node of a shared site silent this long is taken for dead
    qint64 recallWindowMs = 120'000;
    qint64 maxQueuedBytesPerSocket = 8 * 1024 * 1024; // a reader this far behind is dropped
    int failedLoginsPerName = 5;
    int failedLoginsPerAddress = 20;
    qint64 loginThrottleWindowMs = 15 * 60 * 1000;
    int registrationsPerAddress = 20;             // per throttle window
    qint64 sessionLifetimeMs = 90LL * 24 * 3600 * 1000;
};
