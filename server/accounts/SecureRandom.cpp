#include "accounts/SecureRandom.h"

#include <QCryptographicHash>
#include <openssl/rand.h>

#include <cstdlib>

QByteArray SecureRandom::bytes(int count)
{
    QByteArray out(count, '\0');
    // Running on without randomness would hand out predictable tokens: stop instead.
    if (RAND_bytes(reinterpret_cast<unsigned char *>(out.data()), count) != 1)
        std::abort();
    return out;
}

QString SecureRandom::id(const QString &prefix)
{
    return prefix + QString::fromLatin1(bytes(8).toHex());
}

QString SecureRandom::token()
{
    return QString::fromLatin1(bytes(32).toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

QString SecureRandom::tokenHash(const QString &token)
{
    return QString::fromLatin1(QCryptographicHash::hash(token.toUtf8(), QCryptographicHash::Sha256).toHex());
}
