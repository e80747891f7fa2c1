#include "DevCertificates.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>

namespace {

using PKeyPtr = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using X509Ptr = std::unique_ptr<X509, decltype(&X509_free)>;
using BioPtr = std::unique_ptr<BIO, decltype(&BIO_free)>;

constexpr long caValidDays = 3650;
constexpr long serverValidDays = 825; // the longest lifetime clients accept for server certificates

PKeyPtr newKey()
{
    return PKeyPtr(EVP_EC_gen("P-256"), &EVP_PKEY_free);
}

bool addExtension(X509 *certificate, X509 *issuer, int nid, const char *value)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION *extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    if (!extension)
        return false;
    const bool added = X509_add_ext(certificate, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return added;
}

bool setRandomSerial(X509 *certificate)
{
    unsigned char bytes[16];
    if (RAND_bytes(bytes, sizeof bytes) != 1)
        return false;
    bytes[0] &= 0x7f; // keep the serial positive
    BIGNUM *number = BN_bin2bn(bytes, sizeof bytes, nullptr);
    const bool ok = number && BN_to_ASN1_INTEGER(number, X509_get_serialNumber(certificate));
    BN_free(number);
    return ok;
}

X509Ptr newCertificate(EVP_PKEY *key, const char *commonName, long days)
{
    X509Ptr certificate(X509_new(), &X509_free);
    if (!certificate || X509_set_version(certificate.get(), 2) != 1 || !setRandomSerial(certificate.get()))
        return X509Ptr(nullptr, &X509_free);
    X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(certificate.get()), days * 24 * 3600);
    X509_set_pubkey(certificate.get(), key);
    X509_NAME *name = X509_get_subject_name(certificate.get());
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char *>("Zephlin"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char *>(commonName), -1, -1, 0);
    return certificate;
}

QByteArray bioText(BIO *bio)
{
    char *data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    return QByteArray(data, int(length));
}

QByteArray certificatePem(X509 *certificate)
{
    BioPtr bio(BIO_new(BIO_s_mem()), &BIO_free);
    PEM_write_bio_X509(bio.get(), certificate);
    return bioText(bio.get());
}

QByteArray keyPem(EVP_PKEY *key)
{
    BioPtr bio(BIO_new(BIO_s_mem()), &BIO_free);
    PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr);
    return bioText(bio.get());
}

Result<DevCertificates> fromPem(const QByteArray &caPem, const QByteArray &serverPem, const QByteArray &keyPem)
{
    DevCertificates certificates;
    certificates.caPem = caPem;
    certificates.serverCertificatePem = serverPem;
    certificates.serverKeyPem = keyPem;
    certificates.caCertificate = QSslCertificate(caPem, QSsl::Pem);
    certificates.serverCertificate = QSslCertificate(serverPem, QSsl::Pem);
    certificates.serverKey = QSslKey(keyPem, QSsl::Ec, QSsl::Pem);
    if (certificates.caCertificate.isNull() || certificates.serverCertificate.isNull()
        || certificates.serverKey.isNull())
        return Result<DevCertificates>::failure(QStringLiteral("the certificate files do not load"));
    return certificates;
}

bool writePrivateFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(bytes);
    return file.commit();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

Result<DevCertificates> DevCertificates::generate()
{
    const auto failure = [] { return Result<DevCertificates>::failure(QStringLiteral("could not create certificates")); };

    PKeyPtr caKey = newKey();
    PKeyPtr serverKey = newKey();
    if (!caKey || !serverKey)
        return failure();

    X509Ptr ca = newCertificate(caKey.get(), "Zephlin Development CA", caValidDays);
    if (!ca)
        return failure();
    X509_set_issuer_name(ca.get(), X509_get_subject_name(ca.get()));
    if (!addExtension(ca.get(), ca.get(), NID_basic_constraints, "critical,CA:TRUE,pathlen:0")
        || !addExtension(ca.get(), ca.get(), NID_key_usage, "critical,keyCertSign,cRLSign")
        || !addExtension(ca.get(), ca.get(), NID_subject_key_identifier, "hash")
        || X509_sign(ca.get(), caKey.get(), EVP_sha256()) == 0)
        return failure();

    X509Ptr server = newCertificate(serverKey.get(), "localhost", serverValidDays);
    if (!server)
        return failure();
    X509_set_issuer_name(server.get(), X509_get_subject_name(ca.get()));
    if (!addExtension(server.get(), ca.get(), NID_basic_constraints, "critical,CA:FALSE")
        || !addExtension(server.get(), ca.get(), NID_key_usage, "critical,digitalSignature,keyAgreement")
        || !addExtension(server.get(), ca.get(), NID_ext_key_usage, "serverAuth")
        || !addExtension(server.get(), ca.get(), NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1,IP:::1")
        || !addExtension(server.get(), ca.get(), NID_authority_key_identifier, "keyid:always")
        || X509_sign(server.get(), caKey.get(), EVP_sha256()) == 0)
        return failure();

    return fromPem(certificatePem(ca.get()), certificatePem(server.get()), keyPem(serverKey.get()));
}

Result<DevCertificates> DevCertificates::loadOrCreate(const QString &directory)
{
    const QString caPath = directory + QLatin1Char('/') + caFileName();
    const QString serverPath = directory + QStringLiteral("/server.pem");
    const QString keyPath = directory + QStringLiteral("/server.key");
    if (QFile::exists(caPath) && QFile::exists(serverPath) && QFile::exists(keyPath))
        return fromPem(readFile(caPath), readFile(serverPath), readFile(keyPath));

    Result<DevCertificates> created = generate();
    if (!created)
        return created;
    if (!QDir().mkpath(directory) || !writePrivateFile(keyPath, created->serverKeyPem)
        || !writePrivateFile(serverPath, created->serverCertificatePem) || !writePrivateFile(caPath, created->caPem))
        return Result<DevCertificates>::failure(QStringLiteral("could not write certificates to ") + directory);
    return created;
}
