#pragma once

#include <QByteArray>
#include <QDataStream>
#include <QList>
#include <QStringList>

// The value of a "key=value" line of the preferences file as the store's own reader takes it
// apart: escapes resolved (\x with any number of hex digits, octal with any number of digits,
// the C escapes), quotes taken off, a list split at commas outside quotes, unquoted trailing
// blanks dropped. The reader then decodes every text that begins with "@Variant(" or
// "@DateTime(" and ends with ")" with a data stream, which trusts the counts it reads: those are
// the payloads to check before the reader sees the file. Escapes make any byte spell them, so
// only the unescaped text tells.
namespace IniValue {

struct Text
{
    bool isList = false;
    QStringList parts; // the one text, or the list's elements
};

// `raw` is the value as it stands in the file after the '='. `utf8` when the file begins with a
// UTF-8 byte-order mark: the reader then decodes the unescaped runs as UTF-8, else as Latin-1.
Text Unescape(const QByteArray& raw, bool utf8);

struct Payload
{
    QByteArray bytes;
    QDataStream::Version version;
};

// What the reader hands to its data stream for the value, in order.
QList<Payload> Payloads(const Text& text);

} // namespace IniValue
