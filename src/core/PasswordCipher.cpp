#include "PasswordCipher.h"

#include <QDebug>
#include <QFile>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <memory>

namespace {

using PKeyPtr = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using PKeyCtxPtr = std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)>;
using BioPtr = std::unique_ptr<BIO, decltype(&BIO_free)>;

enum class KeyKind
{
    Public,
    Private
};

// A failed call leaves its reasons in the thread's OpenSSL error queue, where the TLS code
// of the network connections would later find them; every call here leaves the queue empty.
struct ErrorQueueCleaner
{
    ~ErrorQueueCleaner() { ERR_clear_error(); }
};

PKeyPtr loadKey(KeyKind kind)
{
    QFile file(kind == KeyKind::Public ? QStringLiteral(":/rsa/public.pem")
                                       : QStringLiteral(":/rsa/private.pem"));
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning() << "Cannot open the key" << file.fileName();
        return PKeyPtr(nullptr, &EVP_PKEY_free);
    }
    const QByteArray pem = file.readAll();
    BioPtr bio(BIO_new_mem_buf(pem.constData(), pem.size()), &BIO_free);
    EVP_PKEY* key = nullptr;
    if (bio) {
        key = kind == KeyKind::Public
            ? PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr)
            : PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr);
    }
    if (!key)
        qWarning() << "Cannot read the key" << file.fileName();
    return PKeyPtr(key, &EVP_PKEY_free);
}

PKeyCtxPtr oaepContext(EVP_PKEY* key, KeyKind kind)
{
    PKeyCtxPtr ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr), &EVP_PKEY_CTX_free);
    if (!ctx)
        return ctx;
    const int ready = kind == KeyKind::Public ? EVP_PKEY_encrypt_init(ctx.get())
                                              : EVP_PKEY_decrypt_init(ctx.get());
    if (ready <= 0 || EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_OAEP_PADDING) <= 0
        || EVP_PKEY_CTX_set_rsa_oaep_md(ctx.get(), EVP_sha256()) <= 0
        || EVP_PKEY_CTX_set_rsa_mgf1_md(ctx.get(), EVP_sha256()) <= 0)
        ctx.reset();
    return ctx;
}

} // namespace

namespace PasswordCipher {

QByteArray Encrypt(const QString& password)
{
    if (password.isEmpty())
        return QByteArray();
    const ErrorQueueCleaner cleaner;
    const PKeyPtr key = loadKey(KeyKind::Public);
    if (!key)
        return QByteArray();
    const PKeyCtxPtr ctx = oaepContext(key.get(), KeyKind::Public);
    const QByteArray plain = password.toUtf8();
    const auto* in = reinterpret_cast<const unsigned char*>(plain.constData());
    size_t length = 0;
    if (!ctx || EVP_PKEY_encrypt(ctx.get(), nullptr, &length, in, size_t(plain.size())) <= 0)
        return QByteArray();
    QByteArray cipher(int(length), Qt::Uninitialized);
    if (EVP_PKEY_encrypt(ctx.get(), reinterpret_cast<unsigned char*>(cipher.data()), &length, in,
            size_t(plain.size()))
        <= 0) {
        qWarning() << "The password cannot be encrypted";
        return QByteArray();
    }
    cipher.truncate(int(length));
    return cipher.toBase64();
}

QString Decrypt(const QByteArray& base64)
{
    const auto decoded
        = QByteArray::fromBase64Encoding(base64, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.isEmpty())
        return QString();
    const ErrorQueueCleaner cleaner;
    const PKeyPtr key = loadKey(KeyKind::Private);
    if (!key)
        return QString();
    const PKeyCtxPtr ctx = oaepContext(key.get(), KeyKind::Private);
    const QByteArray& cipher = decoded.decoded;
    const auto* in = reinterpret_cast<const unsigned char*>(cipher.constData());
    size_t length = 0;
    if (!ctx || EVP_PKEY_decrypt(ctx.get(), nullptr, &length, in, size_t(cipher.size())) <= 0)
        return QString();
    QByteArray plain(int(length), Qt::Uninitialized);
    if (EVP_PKEY_decrypt(ctx.get(), reinterpret_cast<unsigned char*>(plain.data()), &length, in,
            size_t(cipher.size()))
        <= 0) {
        qDebug() << "The saved password cannot be decrypted";
        return QString();
    }
    plain.truncate(int(length));
    return QString::fromUtf8(plain);
}

} // namespace PasswordCipher
