#pragma once
// Uploaded images, checked to decode as JPEG, PNG, GIF or WebP within the size limits (CheckedImage)
// and stored once under the SHA-256 of their bytes; served back from "/uploads/<hash>.<ext>". Kept as
// files in the data folder, or in the database when it is PostgreSQL, which every node of a site shares.
#include "core/Outcome.h"
#include "storage/CheckedImage.h"

#include <QByteArray>
#include <QString>

class Database;
struct Limits;

class ImageStore
{
public:
    ImageStore(const QString &directory, Database &db, const Limits &limits);

    // Answers the server path of the stored image.
    Outcome<QString> store(const CheckedImage &image);
    // Checks the bytes on the calling thread first: for the command line and the demo data.
    Outcome<QString> storeBytes(const QByteArray &bytes);
    // True for a path this store handed out and still holds.
    bool holds(const QString &path) const;

    struct File
    {
        QByteArray bytes;
        QByteArray contentType;
    };
    // A stored file by its name (the last path segment); empty bytes when there is none.
    File read(const QString &name) const;

    static QString urlPrefix() { return QStringLiteral("/uploads/"); }

private:
    bool inDatabase() const;
    bool exists(const QString &name) const;
    bool save(const QString &name, const QByteArray &bytes);
    // The stored bytes, or a null array.
    QByteArray load(const QString &name) const;

    QString m_directory;
    Database &m_db;
    const Limits &m_limits;
};
