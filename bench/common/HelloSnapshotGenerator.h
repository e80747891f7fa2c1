#pragma once
// A deterministic, realistic hello snapshot for benchmarks: same shape in, same bytes out.
#include <QByteArray>

struct HelloSnapshotShape
{
    int hallMessages = 10000;
    int friends = 500;
    int groups = 200;
    int minGroupMembers = 10;
    int maxGroupMembers = 30;
    int directRooms = 200;
    int messagesPerDirectRoom = 50;
    int messagesPerGroup = 0;
    quint32 seed = 20240601;
};

// Compact UTF-8 JSON of a "hello" frame. The current user is "u000000"; direct rooms are keyed by
// the two user ids joined by "_", the smaller first.
QByteArray generateHelloSnapshot(const HelloSnapshotShape &shape = {});
