#include "PasswordCipher.h"

#include "LogCategories.h"

#include <QDebug>
#include <QFile>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/opensslv.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <dlfcn.h>

#include <memory>

static_assert(OPENSSL_VERSION_MAJOR == 3, "the library loaded below is OpenSSL 3's");

namespace {

// The functions of libcrypto used here, loaded when a password is first encrypted or
// decrypted rather than linked: every start would map and relocate the whole library before
// the sign-in dialog shows, and most starts never need it (the network code loads it on its own
// at the first secure connection).
#define MQ_CRYPTO_FUNCTIONS(F)                                                                     \
    F(BIO_free)                                                                                    \
    F(BIO_new_mem_buf)                                                                             \
    F(ERR_clear_error)                                                                             \
    F(EVP_PKEY_CTX_free)                                                                           \
    F(EVP_PKEY_CTX_new_from_pkey)                                                                  \
    F(EVP_PKEY_CTX_set_rsa_mgf1_md)                                                                \
    F(EVP_PKEY_CTX_set_rsa_oaep_md)                                                                \
    F(EVP_PKEY_CTX_set_rsa_padding)                                                                \
    F(EVP_PKEY_decrypt)                                                                            \
    F(EVP_PKEY_decrypt_init)                                                                       \
    F(EVP_PKEY_encrypt)                                                                            \
    F(EVP_PKEY_encrypt_init)                                                                       \
    F(EVP_PKEY_free)                                                                               \
    F(EVP_sha256)                                                                                  \
    F(PEM_read_bio_PUBKEY)                                                                         \
    F(PEM_read_bio_PrivateKey)

struct Crypto
{
#define MQ_CRYPTO_POINTER(name) decltype(&::name) name = nullptr;
    MQ_CRYPTO_FUNCTIONS(MQ_CRYPTO_POINTER)
#undef MQ_CRYPTO_POINTER
};

// The loaded functions, or null when the library or one of them is missing (the password is
// then neither encrypted nor decrypted). Loaded once; the library stays for the whole run.
const Crypto* crypto()
{
    static const std::unique_ptr<const Crypto> loaded = []() -> std::unique_ptr<const Crypto> {
        void* library = dlopen("libcrypto.so.3", RTLD_NOW | RTLD_LOCAL);
        if (!library) {
            qCWarning(passwordLog) << "Cannot load libcrypto.so.3:" << dlerror();
            return nullptr;
        }
        auto functions = std::make_unique<Crypto>();
        bool complete = true;
#define MQ_CRYPTO_RESOLVE(name)                                                                    \
    functions->name = reinterpret_cast<decltype(&::name)>(dlsym(library, #name));                  \
    complete = complete && functions->name;
        MQ_CRYPTO_FUNCTIONS(MQ_CRYPTO_RESOLVE)
#undef MQ_CRYPTO_RESOLVE
        if (!complete) {
            qCWarning(passwordLog)
                << "libcrypto.so.3 lacks a function the password encryption uses";
            return nullptr;
        }
        return functions;
    }();
    return loaded.get();
}

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
    const Crypto& c;
    ~ErrorQueueCleaner() { c.ERR_clear_error(); }
};

PKeyPtr loadKey(const Crypto& c, KeyKind kind)
{
    QFile file(kind == KeyKind::Public ? QStringLiteral(":/rsa/public.pem")
                                       : QStringLiteral(":/rsa/private.pem"));
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(passwordLog) << "Cannot open the key" << file.fileName();
        return PKeyPtr(nullptr, c.EVP_PKEY_free);
    }
    const QByteArray pem = file.readAll();
    BioPtr bio(c.BIO_new_mem_buf(pem.constData(), pem.size()), c.BIO_free);
    EVP_PKEY* key = nullptr;
    if (bio) {
        key = kind == KeyKind::Public
            ? c.PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr)
            : c.PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr);
    }
    if (!key)
        qCWarning(passwordLog) << "Cannot read the key" << file.fileName();
    return PKeyPtr(key, c.EVP_PKEY_free);
}

PKeyCtxPtr oaepContext(const Crypto& c, EVP_PKEY* key, KeyKind kind)
{
    PKeyCtxPtr ctx(c.EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr), c.EVP_PKEY_CTX_free);
    if (!ctx)
        return ctx;
    const int ready = kind == KeyKind::Public ? c.EVP_PKEY_encrypt_init(ctx.get())
                                              : c.EVP_PKEY_decrypt_init(ctx.get());
    if (ready <= 0 || c.EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_OAEP_PADDING) <= 0
        || c.EVP_PKEY_CTX_set_rsa_oaep_md(ctx.get(), c.EVP_sha256()) <= 0
        || c.EVP_PKEY_CTX_set_rsa_mgf1_md(ctx.get(), c.EVP_sha256()) <= 0)
        ctx.reset();
    return ctx;
}

} // namespace

namespace PasswordCipher {

QByteArray Encrypt(const QString& password)
{
    if (password.isEmpty())
        return QByteArray();
    const Crypto* c = crypto();
    if (!c)
        return QByteArray();
    const ErrorQueueCleaner cleaner { *c };
    const PKeyPtr key = loadKey(*c, KeyKind::Public);
    if (!key)
        return QByteArray();
    const PKeyCtxPtr ctx = oaepContext(*c, key.get(), KeyKind::Public);
    const QByteArray plain = password.toUtf8();
    const auto* in = reinterpret_cast<const unsigned char*>(plain.constData());
    size_t length = 0;
    if (!ctx || c->EVP_PKEY_encrypt(ctx.get(), nullptr, &length, in, size_t(plain.size())) <= 0)
        return QByteArray();
    QByteArray cipher(int(length), Qt::Uninitialized);
    if (c->EVP_PKEY_encrypt(ctx.get(), reinterpret_cast<unsigned char*>(cipher.data()), &length,
            in, size_t(plain.size()))
        <= 0) {
        qCWarning(passwordLog) << "The password cannot be encrypted";
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
    const Crypto* c = crypto();
    if (!c)
        return QString();
    const ErrorQueueCleaner cleaner { *c };
    const PKeyPtr key = loadKey(*c, KeyKind::Private);
    if (!key)
        return QString();
    const PKeyCtxPtr ctx = oaepContext(*c, key.get(), KeyKind::Private);
    const QByteArray& cipher = decoded.decoded;
    const auto* in = reinterpret_cast<const unsigned char*>(cipher.constData());
    size_t length = 0;
    if (!ctx || c->EVP_PKEY_decrypt(ctx.get(), nullptr, &length, in, size_t(cipher.size())) <= 0)
        return QString();
    QByteArray plain(int(length), Qt::Uninitialized);
    if (c->EVP_PKEY_decrypt(ctx.get(), reinterpret_cast<unsigned char*>(plain.data()), &length,
            in, size_t(cipher.size()))
        <= 0) {
        qCDebug(passwordLog) << "The saved password cannot be decrypted";
        return QString();
    }
    plain.truncate(int(length));
    return QString::fromUtf8(plain);
}

} // namespace PasswordCipher
