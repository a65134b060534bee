#include "IniValue.h"

#include <QTextCodec>

#include <cstring>

namespace {

// The reader's own steps; each returns the next.
enum class Step
{
    SkipBlanks,
    Plain,
    Hex,
    Octal,
    End,
};

class Unescaper
{
public:
    Unescaper(const QByteArray& raw, bool utf8)
        : data(raw), size(raw.size()), codec(utf8 ? QTextCodec::codecForName("UTF-8") : nullptr)
    { }

    IniValue::Text Run()
    {
        Step step = Step::SkipBlanks;
        while (step != Step::End) {
            switch (step) {
            case Step::SkipBlanks:
                step = SkipBlanks();
                break;
            case Step::Plain:
                step = Plain();
                break;
            case Step::Hex:
                step = Digits(16);
                break;
            case Step::Octal:
                step = Digits(8);
                break;
            case Step::End:
                break;
            }
        }
        if (result.isList)
            result.parts.append(current);
        else
            result.parts = QStringList { current };
        return result;
    }

private:
    Step SkipBlanks()
    {
        while (pos < size && (data.at(pos) == ' ' || data.at(pos) == '\t'))
            ++pos;
        return Step::Plain;
    }

    Step Plain()
    {
        // Blanks at the end of an unquoted text are dropped, but not those an escape made.
        int keepFrom = current.size();
        while (pos < size) {
            const char c = data.at(pos);
            if (c == '\\') {
                ++pos;
                if (pos >= size)
                    return Step::End;
                const Step next = Escape(data.at(pos++));
                if (next != Step::Plain)
                    return next;
                keepFrom = current.size();
            } else if (c == '"') {
                ++pos;
                quoted = true;
                inQuotes = !inQuotes;
                if (!inQuotes)
                    return Step::SkipBlanks;
            } else if (c == ',' && !inQuotes) {
                if (!quoted)
                    DropTrailingBlanks(keepFrom);
                result.isList = true;
                result.parts.append(current);
                current.clear();
                quoted = false;
                ++pos;
                return Step::SkipBlanks;
            } else {
                AppendRun();
            }
        }
        if (!quoted)
            DropTrailingBlanks(keepFrom);
        return Step::End;
    }

    // After a backslash: `c` is the character that follows it.
    Step Escape(char c)
    {
        static const char codes[][2] = { { 'a', '\a' }, { 'b', '\b' }, { 'f', '\f' }, { 'n', '\n' },
            { 'r', '\r' }, { 't', '\t' }, { 'v', '\v' }, { '"', '"' }, { '?', '?' }, { '\'', '\'' },
            { '\\', '\\' } };
        for (const auto& code : codes) {
            if (c == code[0]) {
                current += QLatin1Char(code[1]);
                return Step::Plain;
            }
        }
        if (c == 'x') {
            value = 0;
            if (pos >= size)
                return Step::End;
            const char first = data.at(pos);
            if ((first >= '0' && first <= '9') || (first >= 'A' && first <= 'F')
                || (first >= 'a' && first <= 'f'))
                return Step::Hex;
        } else if (c >= '0' && c <= '7') {
            value = quint32(c - '0');
            return Step::Octal;
        } else if (c == '\n' || c == '\r') {
            // A line continued: \n, \r, \r\n and \n\r.
            if (pos < size) {
                const char next = data.at(pos);
                if ((next == '\n' || next == '\r') && next != c)
                    ++pos;
            }
        }
        // Any other character after a backslash is dropped with it.
        return Step::Plain;
    }

    // Every further digit counts; the character is the low 16 bits, as the reader's int gives.
    Step Digits(int base)
    {
        static const char hexDigits[] = "0123456789ABCDEF";
        while (pos < size) {
            char c = data.at(pos);
            int digit = -1;
            if (base == 16) {
                if (c >= 'a')
                    c -= 'a' - 'A';
                if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))
                    digit = int(std::strchr(hexDigits, c) - hexDigits);
            } else if (c >= '0' && c <= '7') {
                digit = c - '0';
            }
            if (digit < 0) {
                current += QChar(ushort(value & 0xffff));
                return Step::Plain;
            }
            value = value * quint32(base) + quint32(digit);
            ++pos;
        }
        current += QChar(ushort(value & 0xffff));
        return Step::End;
    }

    // Plain characters up to the next backslash, quote or comma, decoded as one run.
    void AppendRun()
    {
        int end = pos + 1;
        while (end < size) {
            const char c = data.at(end);
            if (c == '\\' || c == '"' || c == ',')
                break;
            ++end;
        }
        current += codec ? codec->toUnicode(data.constData() + pos, end - pos)
                         : QString::fromLatin1(data.constData() + pos, end - pos);
        pos = end;
    }

    void DropTrailingBlanks(int keepFrom)
    {
        int n = current.size() - 1;
        while (n >= keepFrom
            && (current.at(n) == QLatin1Char(' ') || current.at(n) == QLatin1Char('\t')))
            current.truncate(n--);
    }

    const QByteArray& data;
    const int size;
    QTextCodec* const codec;
    int pos = 0;
    bool inQuotes = false;
    bool quoted = false; // the current text had quotes
    quint32 value = 0;
    QString current;
    IniValue::Text result;
};

} // namespace

namespace IniValue {

Text Unescape(const QByteArray& raw, bool utf8)
{
    return Unescaper(raw, utf8).Run();
}

QList<Payload> Payloads(const Text& text)
{
    static const QLatin1String variant("@Variant(");
    static const QLatin1String dateTime("@DateTime(");
    QList<Payload> payloads;
    for (const QString& part : text.parts) {
        if (!part.endsWith(QLatin1Char(')')))
            continue;
        // Both keep the closing bracket: the reader takes everything after the opening one.
        if (part.startsWith(variant))
            payloads.append({ part.mid(variant.size()).toLatin1(), QDataStream::Qt_4_0 });
        else if (part.startsWith(dateTime))
            payloads.append({ part.mid(dateTime.size()).toLatin1(), QDataStream::Qt_5_6 });
    }
    return payloads;
}

} // namespace IniValue
