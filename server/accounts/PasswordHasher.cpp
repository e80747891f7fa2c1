#include "accounts/PasswordHasher.h"

#include <argon2.h>
#include <openssl/rand.h>

namespace {
constexpr size_t SaltBytes = 16;
constexpr size_t HashBytes = 32;
} // namespace

QString PasswordHasher::hash(const QString &password) const
{
    const QByteArray secret = password.toUtf8();
    unsigned char salt[SaltBytes];
    if (RAND_bytes(salt, sizeof salt) != 1)
        return {};
    const size_t encodedLength = argon2_encodedlen(m_cost.iterations, m_cost.memoryKiB, m_cost.lanes,
                                                   SaltBytes, HashBytes, Argon2_id);
    QByteArray encoded(qsizetype(encodedLength), '\0');
    const int rc = argon2id_hash_encoded(m_cost.iterations, m_cost.memoryKiB, m_cost.lanes, secret.constData(),
                                         size_t(secret.size()), salt, SaltBytes, HashBytes, encoded.data(),
                                         encodedLength);
    if (rc != ARGON2_OK)
        return {};
    return QString::fromLatin1(encoded.constData()); // NUL-terminated inside the buffer
}

bool PasswordHasher::verify(const QString &password, const QString &encoded) const
{
    if (m_witness)
        m_witness(encoded);
    if (!encoded.startsWith(QLatin1String("$argon2id$")))
        return false;
    const QByteArray secret = password.toUtf8();
    const QByteArray stored = encoded.toLatin1();
    return argon2id_verify(stored.constData(), secret.constData(), size_t(secret.size())) == ARGON2_OK;
}
