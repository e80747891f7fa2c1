#pragma once
// Bounds that keep one abusive or buggy client from hurting everybody else. Tests shrink some of them.
#include <QtGlobal>

struct Limits
{
    qint64 maxRequestBody = 12 * 1024 * 1024;     // a moment with nine images still fits
    qint64 maxImageBytes = 5 * 1024 * 1024;       // one decoded upload
    int maxImagePixels = 40'000'000;              // refuses decompression bombs before decoding
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
    int commandBurst = 20;                        // commands a connection may send at once
    int commandsPerSecond = 5;                    // refill rate of that allowance
    int authTimeoutMs = 10'000;                   // the "auth" frame must come first and soon
    int httpIdleTimeoutMs = 60'000;               // an HTTP connection silent this long is closed
    int presenceDelayMs = 300;                    // joins and leaves within this window share one broadcast
    int feedDelayMs = 300;                        // so do moment changes: each sends the whole feed to everyone
    qint64 recallWindowMs = 120'000;
    qint64 maxQueuedBytesPerSocket = 8 * 1024 * 1024; // a reader this far behind is dropped
    int failedLoginsPerName = 5;
    int failedLoginsPerAddress = 20;
    qint64 loginThrottleWindowMs = 15 * 60 * 1000;
    int registrationsPerAddress = 20;             // per throttle window
    qint64 sessionLifetimeMs = 90LL * 24 * 3600 * 1000;
};
