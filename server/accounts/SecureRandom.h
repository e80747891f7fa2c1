#pragma once
// Identifiers and session tokens from the operating system's CSPRNG (OpenSSL RAND_bytes), so that no
// id or token can be guessed from another.
#include <QByteArray>
#include <QString>

class SecureRandom
{
public:
    static QByteArray bytes(int count);
    // A record id: the prefix and 16 hex digits (64 random bits). No "_", which joins ids into room keys.
    static QString id(const QString &prefix);
    // 256 random bits, URL-safe Base64 without padding.
    static QString token();
    // What the server stores instead of a token: its SHA-256, in hex.
    static QString tokenHash(const QString &token);
};
