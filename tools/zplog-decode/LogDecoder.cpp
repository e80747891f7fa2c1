#include "LogDecoder.h"

#include "LogCipher.h"
#include "LogShardFile.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>
#include <algorithm>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

std::unique_ptr<LogDecoder> LogDecoder::fromPrivateKey(const QByteArray &pemOrDer)
{
    EVP_PKEY *key = nullptr;
    if (BIO *bio = BIO_new_mem_buf(pemOrDer.constData(), int(pemOrDer.size()))) {
        key = PEM_read_bio_PrivateKey(bio, nullptr, nullptr, nullptr);
        BIO_free(bio);
    }
    if (!key) {
        auto *der = reinterpret_cast<const unsigned char *>(pemOrDer.constData());
        key = d2i_AutoPrivateKey(nullptr, &der, long(pemOrDer.size()));
    }
    if (!key || !EVP_PKEY_is_a(key, "RSA")) {
        EVP_PKEY_free(key);
        return nullptr;
    }
    return std::unique_ptr<LogDecoder>(new LogDecoder(key));
}

LogDecoder::~LogDecoder()
{
    EVP_PKEY_free(m_key);
}

Result<QByteArray> LogDecoder::decryptBlock(const char *data, qsizetype length) const
{
    EVP_PKEY_CTX *context = EVP_PKEY_CTX_new(m_key, nullptr);
    QByteArray plain(LogCipher::blockSize, Qt::Uninitialized);
    size_t plainLength = size_t(plain.size());
    const bool ok = context && EVP_PKEY_decrypt_init(context) == 1
                    && EVP_PKEY_CTX_set_rsa_padding(context, RSA_PKCS1_PADDING) == 1
                    && EVP_PKEY_decrypt(context, reinterpret_cast<unsigned char *>(plain.data()), &plainLength,
                                        reinterpret_cast<const unsigned char *>(data), size_t(length)) == 1;
    EVP_PKEY_CTX_free(context);
    if (!ok)
        return Result<QByteArray>::failure(QStringLiteral("RSA decryption failed (wrong key?)"));
    plain.truncate(qsizetype(plainLength));
    return plain;
}

Result<QByteArray> LogDecoder::decryptBlob(const QByteArray &blob) const
{
    if (blob.size() == LogCipher::blockSize)
        return decryptBlock(blob.constData(), blob.size());
    QByteArray json;
    for (qsizetype position = 0; position < blob.size();) {
        if (blob.size() - position < 4)
            return Result<QByteArray>::failure(QStringLiteral("piece header cut short at byte %1").arg(position));
        const quint32 length = qFromLittleEndian<quint32>(blob.constData() + position);
        if (length == 0 || position + 4 + qint64(length) > blob.size())
            return Result<QByteArray>::failure(QStringLiteral("bad piece length %1 at byte %2").arg(length).arg(position));
        Result<QByteArray> piece = decryptBlock(blob.constData() + position + 4, length);
        if (!piece)
            return Result<QByteArray>::failure(QStringLiteral("piece at byte %1: %2").arg(position).arg(piece.error()));
        json += *piece;
        position += 4 + qint64(length);
    }
    return json;
}

Result<LogDecoder::Entry> LogDecoder::decodeBlob(const QByteArray &blob) const
{
    const Result<QByteArray> json = decryptBlob(blob);
    if (!json)
        return json.failedAs<Entry>();
    QJsonParseError error;
    const QJsonObject object = QJsonDocument::fromJson(*json, &error).object();
    if (error.error != QJsonParseError::NoError || !object.value(QStringLiteral("timestamp")).isDouble())
        return Result<Entry>::failure(QStringLiteral("decrypted text is not a log entry"));
    return Entry{object.value(QStringLiteral("timestamp")).toDouble(), object.value(QStringLiteral("level")).toString(),
                 object.value(QStringLiteral("module")).toString(), object.value(QStringLiteral("message")).toString()};
}

void LogDecoder::decodeFile(const QString &path, QList<Entry> &entries, QStringList &problems) const
{
    const LogShardFile::Contents contents = LogShardFile::read(path);
    for (qsizetype index = 0; index < contents.records.size(); ++index) {
        const Result<Entry> entry = decodeBlob(contents.records.at(index));
        if (entry)
            entries.append(*entry);
        else
            problems.append(QStringLiteral("%1: record %2: %3").arg(path).arg(index + 1).arg(entry.error()));
    }
    if (!contents.problem.isEmpty())
        problems.append(QStringLiteral("%1: at byte %2 (after %3 records): %4")
                            .arg(path)
                            .arg(contents.problemOffset)
                            .arg(contents.records.size())
                            .arg(contents.problem));
}

void LogDecoder::sortByTime(QList<Entry> &entries)
{
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry &a, const Entry &b) { return a.timestamp < b.timestamp; });
}

namespace {
QString isoTime(double timestamp)
{
    return QDateTime::fromMSecsSinceEpoch(qint64(timestamp * 1000.0), Qt::UTC).toString(Qt::ISODateWithMs);
}
} // namespace

QString LogDecoder::textLine(const Entry &entry)
{
    return isoTime(entry.timestamp) + QLatin1Char(' ') + entry.level + QLatin1Char(' ') + entry.module
           + QLatin1Char(' ') + entry.message;
}

QByteArray LogDecoder::jsonLine(const Entry &entry)
{
    const QJsonObject object{{QStringLiteral("time"), isoTime(entry.timestamp)},
                             {QStringLiteral("timestamp"), entry.timestamp},
                             {QStringLiteral("level"), entry.level},
                             {QStringLiteral("module"), entry.module},
                             {QStringLiteral("message"), entry.message}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}
