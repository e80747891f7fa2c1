#pragma once
// Decrypts the entries of encrypted log files with the log's RSA private key: both blob forms (one
// 256-byte ciphertext, or pieces of a 4-byte length and a ciphertext), reassembled into the JSON
// entry. Problems are collected with the file and position they come from; the rest still decodes.
#include "Result.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

struct evp_pkey_st;

class LogDecoder
{
public:
    struct Entry
    {
        double timestamp = 0;
        QString level;
        QString module;
        QString message;
    };

    // Nothing when the data is not an RSA private key in PEM or DER form.
    static std::unique_ptr<LogDecoder> fromPrivateKey(const QByteArray &pemOrDer);
    ~LogDecoder();
    LogDecoder(const LogDecoder &) = delete;
    LogDecoder &operator=(const LogDecoder &) = delete;

    // The JSON text of one entry blob.
    Result<QByteArray> decryptBlob(const QByteArray &blob) const;
    Result<Entry> decodeBlob(const QByteArray &blob) const;

    // Appends the file's entries; each bad file or entry adds one line to problems.
    void decodeFile(const QString &path, QList<Entry> &entries, QStringList &problems) const;

    // Oldest first; entries of equal time keep their order.
    static void sortByTime(QList<Entry> &entries);
    // "2026-03-01T08:15:42.123Z INFO App message"
    static QString textLine(const Entry &entry);
    // {"time":"2026-03-01T08:15:42.123Z","timestamp":...,"level":...,"module":...,"message":...}
    static QByteArray jsonLine(const Entry &entry);

private:
    explicit LogDecoder(evp_pkey_st *key) : m_key(key) {}
    Result<QByteArray> decryptBlock(const char *data, qsizetype length) const;

    evp_pkey_st *m_key;
};
