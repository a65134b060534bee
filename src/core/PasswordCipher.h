#pragma once

#include <QByteArray>
#include <QString>

// Protects the saved password with the client's RSA key pair (":/rsa/public.pem",
// ":/rsa/private.pem"), RSA-OAEP with SHA-256. The pair ships inside the program, so this
// keeps the password out of plain sight in the preferences store; it is no secret from
// someone who holds the program itself.
namespace PasswordCipher {

// The ciphertext as Base64 text; empty for an empty password or when encryption fails.
QByteArray Encrypt(const QString& password);

// The password; empty when the text is not a ciphertext of the key pair.
QString Decrypt(const QByteArray& base64);

} // namespace PasswordCipher
