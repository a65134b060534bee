#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

// Reads the fields of a form-encoded or multipart/form-data request body.
class FormParser
{
public:
    struct File
    {
        QString fileName;
        QByteArray contentType;
        QByteArray data;
    };

    // False when the body does not follow its content type.
    bool Parse(const QByteArray& contentType, const QByteArray& body);

    QMap<QString, QString> fields;
    QMap<QString, File> files;

private:
    void ParseUrlEncoded(const QByteArray& body);
    bool ParseMultipart(const QByteArray& boundary, const QByteArray& body);
};
