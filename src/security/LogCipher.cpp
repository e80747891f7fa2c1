#include "LogCipher.h"

#include "LogPublicKeyData.h"

#include <QtEndian>
#include <openssl/decoder.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>

QByteArray LogCipher::builtInPublicKey()
{
    return QByteArray::fromRawData(reinterpret_cast<const char *>(logPublicKeyData), sizeof logPublicKeyData);
}

std::unique_ptr<LogCipher> LogCipher::fromPublicKey(const QByteArray &pemOrDer)
{
    EVP_PKEY *key = nullptr;
    // Any input form (PEM, DER) and any structure (SubjectPublicKeyInfo or PKCS#1 RSAPublicKey).
    OSSL_DECODER_CTX *decoder = OSSL_DECODER_CTX_new_for_pkey(&key, nullptr, nullptr, "RSA",
                                                              EVP_PKEY_PUBLIC_KEY, nullptr, nullptr);
    auto *data = reinterpret_cast<const unsigned char *>(pemOrDer.constData());
    size_t length = size_t(pemOrDer.size());
    const bool decoded = decoder && OSSL_DECODER_from_data(decoder, &data, &length) == 1;
    OSSL_DECODER_CTX_free(decoder);
    if (!decoded || !key || EVP_PKEY_get_bits(key) != keyBits) {
        EVP_PKEY_free(key);
        return nullptr;
    }
    EVP_PKEY_CTX *context = EVP_PKEY_CTX_new(key, nullptr);
    if (!context || EVP_PKEY_encrypt_init(context) != 1
        || EVP_PKEY_CTX_set_rsa_padding(context, RSA_PKCS1_PADDING) != 1) {
        EVP_PKEY_CTX_free(context);
        EVP_PKEY_free(key);
        return nullptr;
    }
    return std::unique_ptr<LogCipher>(new LogCipher(key, context));
}

LogCipher::LogCipher(evp_pkey_st *key, evp_pkey_ctx_st *context) : m_key(key), m_context(context) {}

LogCipher::~LogCipher()
{
    EVP_PKEY_CTX_free(m_context);
    EVP_PKEY_free(m_key);
}

bool LogCipher::encryptBlock(const char *data, qsizetype length, char *out)
{
    size_t outLength = blockSize;
    return EVP_PKEY_encrypt(m_context, reinterpret_cast<unsigned char *>(out), &outLength,
                            reinterpret_cast<const unsigned char *>(data), size_t(length)) == 1
           && outLength == blockSize;
}

std::optional<QByteArray> LogCipher::encrypt(const QByteArray &json)
{
    if (json.size() <= pieceSize) {
        QByteArray blob(blockSize, Qt::Uninitialized);
        if (!encryptBlock(json.constData(), json.size(), blob.data()))
            return std::nullopt;
        return blob;
    }
    const qsizetype pieces = (json.size() + pieceSize - 1) / pieceSize;
    QByteArray blob(pieces * (4 + blockSize), Qt::Uninitialized);
    char *out = blob.data();
    for (qsizetype offset = 0; offset < json.size(); offset += pieceSize) {
        qToLittleEndian<quint32>(blockSize, out);
        if (!encryptBlock(json.constData() + offset, qMin<qsizetype>(pieceSize, json.size() - offset), out + 4))
            return std::nullopt;
        out += 4 + blockSize;
    }
    return blob;
}
