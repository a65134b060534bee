#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QImage>
#include <QSize>
#include <QString>

// Pictures from the service (avatars, members' screenshots, teamwork tool icons) are decoded
// here and nowhere else: only from the raster formats the service sends, PNG and JPEG, and only
// when the size their header states is within the cap for their kind, checked before a pixel is
// decoded. A small file can state a huge picture (a 1.5 MB PNG of 20000 × 20000 pixels decodes
// into 1.6 GB), and a vector picture (SVG) draws itself at whatever size it names.
class ServicePicture
{
    Q_DECLARE_TR_FUNCTIONS(ServicePicture)

public:
    enum class Kind
    {
        Avatar, // avatars and tool icons: at most 4096 × 4096 pixels
        Screenshot, // members' screenshots: twice the desktop's size, at least the avatar cap
    };

    static QSize MaxSize(Kind kind);
    // The picture; a null image, with the reason in `why`, when it is refused or unreadable.
    static QImage Decode(const QByteArray& bytes, Kind kind, QString* why = nullptr);
    // Whether Decode would take the picture as far as its header tells: format and size.
    static bool Check(const QByteArray& bytes, Kind kind, QString* why = nullptr);

    // Rich text from the service as a label may show it: unchanged when it names no picture;
    // otherwise its text alone. A label would read a picture it names (an image, a background,
    // a style sheet) from any local file, /dev/zero too, or decode it from a data address in any
    // format at any size.
    static QString TextWithoutPictures(const QString& html);
};
