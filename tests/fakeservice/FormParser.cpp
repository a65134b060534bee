#include "FormParser.h"

#include <QList>
#include <QUrl>

namespace {

// The value of `name` in a header such as `form-data; name="image"; filename="a.png"`.
QByteArray HeaderParameter(const QByteArray& header, const QByteArray& name)
{
    for (QByteArray part : header.split(';')) {
        part = part.trimmed();
        if (!part.startsWith(name + '='))
            continue;
        QByteArray value = part.mid(name.size() + 1);
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return {};
}

} // namespace

bool FormParser::Parse(const QByteArray& contentType, const QByteArray& body)
{
    fields.clear();
    files.clear();
    const QByteArray type = contentType.split(';').value(0).trimmed().toLower();
    if (type == "multipart/form-data") {
        const QByteArray boundary = HeaderParameter(contentType, "boundary");
        return !boundary.isEmpty() && ParseMultipart(boundary, body);
    }
    if (type == "application/x-www-form-urlencoded" || body.isEmpty()) {
        ParseUrlEncoded(body);
        return true;
    }
    return false;
}

void FormParser::ParseUrlEncoded(const QByteArray& body)
{
    for (const QByteArray& pair : body.split('&')) {
        if (pair.isEmpty())
            continue;
        const int equals = pair.indexOf('=');
        QByteArray name = equals < 0 ? pair : pair.left(equals);
        QByteArray value = equals < 0 ? QByteArray() : pair.mid(equals + 1);
        name.replace('+', ' ');
        value.replace('+', ' ');
        fields.insert(QString::fromUtf8(QByteArray::fromPercentEncoding(name)),
            QString::fromUtf8(QByteArray::fromPercentEncoding(value)));
    }
}

bool FormParser::ParseMultipart(const QByteArray& boundary, const QByteArray& body)
{
    const QByteArray delimiter = "--" + boundary;
    int position = body.indexOf(delimiter);
    if (position < 0)
        return false;
    position += delimiter.size();
    while (true) {
        if (body.mid(position, 2) == "--")
            return true;
        if (body.mid(position, 2) != "\r\n")
            return false;
        position += 2;
        const int headerEnd = body.indexOf("\r\n\r\n", position);
        if (headerEnd < 0)
            return false;
        QByteArray disposition;
        QByteArray partType;
        for (const QByteArray& line : body.mid(position, headerEnd - position).split('\n')) {
            const int colon = line.indexOf(':');
            const QByteArray name = line.left(colon).trimmed().toLower();
            if (name == "content-disposition")
                disposition = line.mid(colon + 1).trimmed();
            else if (name == "content-type")
                partType = line.mid(colon + 1).trimmed();
        }
        const int dataStart = headerEnd + 4;
        const int next = body.indexOf("\r\n" + delimiter, dataStart);
        if (next < 0)
            return false;
        const QByteArray data = body.mid(dataStart, next - dataStart);
        const QString name = QString::fromUtf8(HeaderParameter(disposition, "name"));
        if (disposition.contains("filename="))
            files.insert(name,
                { QString::fromUtf8(HeaderParameter(disposition, "filename")), partType, data });
        else
            fields.insert(name, QString::fromUtf8(data));
        position = next + 2 + delimiter.size();
    }
}
