#pragma once
// Encrypts log entries for the RSA-2048 log key with PKCS#1 v1.5 padding. The key object and its
// encryption context are built once, so the work per entry is the RSA operation itself.
// A JSON text of up to 214 bytes becomes one 256-byte ciphertext; a longer one is cut into
// 214-byte pieces, each stored as a 4-byte little-endian length (256) and its ciphertext.
#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

struct evp_pkey_st;
struct evp_pkey_ctx_st;

class LogCipher
{
public:
    static constexpr int keyBits = 2048;
    static constexpr int blockSize = 256;
    static constexpr int pieceSize = 214; // the most PKCS#1 v1.5 padding lets into one block

    // The public key compiled in at build time (PEM or DER).
    static QByteArray builtInPublicKey();

    // Nothing when the data is not an RSA-2048 public key in PEM or DER form.
    static std::unique_ptr<LogCipher> fromPublicKey(const QByteArray &pemOrDer);

    ~LogCipher();
    LogCipher(const LogCipher &) = delete;
    LogCipher &operator=(const LogCipher &) = delete;

    // Nothing when any RSA operation fails.
    std::optional<QByteArray> encrypt(const QByteArray &json);

private:
    LogCipher(evp_pkey_st *key, evp_pkey_ctx_st *context);
    bool encryptBlock(const char *data, qsizetype length, char *out);

    evp_pkey_st *m_key;
    evp_pkey_ctx_st *m_context;
};
