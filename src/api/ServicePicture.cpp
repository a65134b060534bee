#include "ServicePicture.h"

#include "LogCategories.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QGuiApplication>
#include <QImageReader>
#include <QLoggingCategory>
#include <QScreen>
#include <QTextDocument>

namespace {

const QSize avatarCap(4096, 4096);

// The format the bytes are in, told by their signature; empty for any but PNG and JPEG, which
// no other decoder is then asked to guess.
QByteArray RasterFormat(const QByteArray& bytes)
{
    if (bytes.startsWith(QByteArrayLiteral("\x89PNG\r\n\x1a\n")))
        return QByteArrayLiteral("png");
    if (bytes.startsWith(QByteArrayLiteral("\xff\xd8\xff")))
        return QByteArrayLiteral("jpeg");
    return {};
}

// A reader of the bytes that uses their own format's decoder alone.
class Reader
{
public:
    Reader(const QByteArray& bytes, const QByteArray& format)
    {
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        reader.setDevice(&buffer);
        reader.setFormat(format);
        reader.setAutoDetectImageFormat(false);
    }

    QImageReader& Get() { return reader; }

private:
    QBuffer buffer;
    QImageReader reader;
};

bool Refuse(QString* why, const QString& reason)
{
    qCDebug(pictureLog) << "Picture refused:" << reason;
    if (why)
        *why = reason;
    return false;
}

// Whether the picture the reader is about to decode is within `cap`, as its header states.
bool FitsCap(QImageReader& reader, const QSize& cap, QString* why)
{
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return Refuse(why, ServicePicture::tr("not a readable picture"));
    if (size.width() > cap.width() || size.height() > cap.height())
        return Refuse(why,
            ServicePicture::tr("a picture of %1 × %2 pixels, larger than %3 × %4")
                .arg(size.width())
                .arg(size.height())
                .arg(cap.width())
                .arg(cap.height()));
    return true;
}

// A document that loads nothing it names, and notes that it was asked to.
class InertDocument : public QTextDocument
{
public:
    bool NamesResources() const { return namesResources; }

protected:
    QVariant loadResource(int type, const QUrl& name) override
    {
        Q_UNUSED(type)
        Q_UNUSED(name)
        namesResources = true;
        return {};
    }

private:
    bool namesResources = false;
};

} // namespace

QSize ServicePicture::MaxSize(Kind kind)
{
    if (kind == Kind::Avatar || !qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return avatarCap;
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? avatarCap.expandedTo(screen->virtualSize() * 2) : avatarCap;
}

QImage ServicePicture::Decode(const QByteArray& bytes, Kind kind, QString* why)
{
    const QByteArray format = RasterFormat(bytes);
    if (format.isEmpty()) {
        Refuse(why, tr("not a PNG or JPEG picture"));
        return {};
    }
    Reader reader(bytes, format);
    if (!FitsCap(reader.Get(), MaxSize(kind), why))
        return {};
    QImage picture;
    if (!reader.Get().read(&picture))
        Refuse(why, tr("not a readable picture"));
    return picture;
}

bool ServicePicture::Check(const QByteArray& bytes, Kind kind, QString* why)
{
    const QByteArray format = RasterFormat(bytes);
    if (format.isEmpty())
        return Refuse(why, tr("not a PNG or JPEG picture"));
    Reader reader(bytes, format);
    return FitsCap(reader.Get(), MaxSize(kind), why);
}

QString ServicePicture::TextWithoutPictures(const QString& html)
{
    InertDocument document;
    document.setHtml(html); // asks for the style sheets it links
    document.documentLayout()->documentSize(); // and for its images
    bool names = document.NamesResources();
    const QVector<QTextFormat> formats = document.allFormats();
    for (const QTextFormat& format : formats)
        names = names || format.isImageFormat()
            || format.hasProperty(QTextFormat::BackgroundImageUrl);
    if (!names)
        return html;
    qCDebug(pictureLog) << "A text from the service names pictures; shown as plain text";
    return Qt::convertFromPlainText(
        document.toPlainText().remove(QChar::ObjectReplacementCharacter), Qt::WhiteSpaceNormal);
}
