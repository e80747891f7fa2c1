#pragma once
// Upload bytes that decode as a JPEG, PNG, GIF or WebP within the size limits. A pure function of the
// bytes, safe on any thread: the server runs it on its worker pool, since decoding an image at the
// pixel cap takes long enough to stall every connection if done on the event loop.
#include "core/Outcome.h"

#include <QByteArray>
#include <QString>

struct Limits;

class CheckedImage
{
public:
    static Outcome<CheckedImage> fromBytes(const QByteArray &bytes, const Limits &limits);
    // Base64 text from a request body.
    static Outcome<CheckedImage> fromBase64(const QString &base64, const Limits &limits);

    const QByteArray &bytes() const { return m_bytes; }
    // The SHA-256 of the bytes in hex, a dot and "jpg", "png", "gif" or "webp": hashed here too, off
    // the event loop.
    const QString &fileName() const { return m_fileName; }

private:
    CheckedImage(QByteArray bytes, QString fileName) : m_bytes(std::move(bytes)), m_fileName(std::move(fileName)) {}

    QByteArray m_bytes;
    QString m_fileName;
};
