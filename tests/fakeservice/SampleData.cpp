#include "SampleData.h"

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QtEndian>

namespace {

QByteArray Encode(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QByteArray Png(const QImage& image)
{
    return Encode(image, "PNG");
}

// The checksum of PNG chunks.
quint32 Crc32(const QByteArray& bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray BigEndian(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

// The PNG with the size in its header (and the header's checksum) changed.
QByteArray WithPngSize(QByteArray png, int width, int height)
{
    constexpr int header = 8 + 4; // signature, chunk length
    png.replace(header + 4, 8, BigEndian(quint32(width)) + BigEndian(quint32(height)));
    png.replace(header + 4 + 13, 4, BigEndian(Crc32(png.mid(header, 4 + 13))));
    return png;
}

// The JPEG with the size in its frame header changed.
QByteArray WithJpegSize(QByteArray jpeg, int width, int height)
{
    for (int at = 2; at + 9 < jpeg.size();) {
        const quint8 marker = quint8(jpeg.at(at + 1));
        if (marker == 0xC0) {
            qToBigEndian(quint16(height), jpeg.data() + at + 5);
            qToBigEndian(quint16(width), jpeg.data() + at + 7);
            break;
        }
        at += 2 + qFromBigEndian<quint16>(jpeg.constData() + at + 2);
    }
    return jpeg;
}

QColor ColorFor(int seed)
{
    return QColor::fromHsv((seed * 47) % 360, 150, 220);
}

} // namespace

namespace SampleData {

QList<Account> Accounts()
{
    return {
        { QStringLiteral("demo"), QStringLiteral("demo123"), 1001, QStringLiteral("Demo"),
            QStringLiteral("Member"), QStringLiteral("2026-12-06 16:37") },
        // A second member with teams, for signing in after someone else.
        { QStringLiteral("anna.k"), QStringLiteral("anna123"), 1002, QStringLiteral("Anna"),
            QStringLiteral("Kovalenko"), QStringLiteral("2026-12-07 09:05") },
        // Belongs to no team: the client's no-teams page.
        { QStringLiteral("empty"), QStringLiteral("empty123"), 1009, QStringLiteral("Idle"),
            QStringLiteral("Newcomer"), QString() },
    };
}

QList<Member> Members()
{
    return {
        { 1001, QStringLiteral("demo"), QStringLiteral("Demo Member"),
            QStringLiteral("Reviewing pull requests"), 4, false, QStringLiteral("00:00:00"), true,
            false },
        { 1002, QStringLiteral("anna.k"), QStringLiteral("Anna Kovalenko"),
            QStringLiteral("Checkout page layout"), 1, true, QStringLiteral("03:12:40"), true,
            true },
        { 1003, QStringLiteral("bruno.m"), QStringLiteral("Bruno Martins"),
            QStringLiteral("Fix <input> & validation"), 2, true, QStringLiteral("01:05:09"), true,
            true },
        { 1004, QStringLiteral("chen.l"), QStringLiteral("Chen Li"), QStringLiteral("Lunch"), 5,
            false, QStringLiteral("04:30:00"), true, false },
        { 1005, QStringLiteral("dara.o"), QStringLiteral("Dara O'Neill"), QString(), 7, false,
            QStringLiteral("00:00:00"), true, false },
        { 1006, QStringLiteral("eli.r"), QStringLiteral("Eli Rosen"),
            QStringLiteral("Offline import on the train"), 8, true, QStringLiteral("02:00:15"),
            true, true },
        { 1007, QStringLiteral("fatima.s"), QStringLiteral("Fatima Saleh"),
            QStringLiteral("Nightly report job"), 3, true, QStringLiteral("06:45:30"), true, true },
        { 1008, QStringLiteral("goran.p"), QStringLiteral("Goran Petrović"),
            QStringLiteral("Schema migration plan"), 6, false, QStringLiteral("00:40:00"), false,
            false },
    };
}

Member FindMember(int id)
{
    for (const Member& member : Members()) {
        if (member.id == id)
            return member;
    }
    return { 0, {}, {}, {}, 0, false, {}, false, false };
}

QList<Team> Teams()
{
    return {
        { 11, QStringLiteral("Atlas"), QStringLiteral("Web platform for the Atlas store"),
            { 1001, 1002, 1003, 1005 } },
        // Anna is in two teams: her pictures are fetched once.
        { 12, QStringLiteral("Borealis"), QStringLiteral("Mobile applications"),
            { 1001, 1004, 1006, 1002 } },
        { 13, QStringLiteral("Cinder"), QStringLiteral("Data pipeline and reports"),
            { 1001, 1007, 1008 } },
    };
}

QList<Team> TeamsOf(int memberId)
{
    QList<Team> teams;
    const QList<Team> all = Teams();
    for (const Team& team : all) {
        if (team.memberIds.contains(memberId))
            teams.append(team);
    }
    return teams;
}

QList<Tool> Tools()
{
    return {
        { QStringLiteral("Work diary"), QStringLiteral("/tools/diary") },
        { QStringLiteral("Time logs"), QStringLiteral("/tools/timelogs") },
        { QStringLiteral("Team messages"), QStringLiteral("/tools/messages") },
    };
}

QByteArray AvatarPng(int memberId)
{
    QImage image(64, 64, QImage::Format_ARGB32);
    image.fill(ColorFor(memberId));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRect(20, 10, 24, 24));
    painter.drawEllipse(QRect(10, 38, 44, 40));
    painter.end();
    return Png(image);
}

QByteArray SnapshotPng(int memberId)
{
    QImage image(320, 200, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 320, 200);
    gradient.setColorAt(0, ColorFor(memberId));
    gradient.setColorAt(1, Qt::darkBlue);
    painter.fillRect(image.rect(), gradient);
    painter.fillRect(QRect(20, 20, 180, 120), Qt::white);
    for (int line = 0; line < 6; ++line)
        painter.fillRect(QRect(30, 32 + line * 16, 60 + (memberId * (line + 3)) % 110, 6),
            ColorFor(memberId + line));
    painter.end();
    return Png(image);
}

QByteArray EmptyPng()
{
    // Width 0, height 5, 8-bit RGB.
    const QByteArray header = BigEndian(0) + BigEndian(5) + QByteArray("\x08\x02\x00\x00\x00", 5);
    const auto chunk = [](const QByteArray& type, const QByteArray& data) {
        return BigEndian(quint32(data.size())) + type + data + BigEndian(Crc32(type + data));
    };
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + chunk("IEND", {});
}

QByteArray ToolPng(int index)
{
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(ColorFor(index * 5 + 2));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRect(2, 2, 28, 28), 6, 6);
    painter.end();
    return Png(image);
}

QByteArray Picture(const QString& format, int width, int height)
{
    if (format == QLatin1String("svg"))
        return QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" "
                              "height=\"%2\"><rect width=\"%1\" height=\"%2\" "
                              "fill=\"#3a7\"/></svg>")
            .arg(width)
            .arg(height)
            .toUtf8();
    const bool stated = qint64(width) * height > 4096 * 4096
        && (format == QLatin1String("png") || format == QLatin1String("jpeg"));
    QImage image(stated ? QSize(16, 16) : QSize(width, height), QImage::Format_RGB32);
    image.fill(ColorFor(width + height));
    if (format == QLatin1String("png"))
        return stated ? WithPngSize(Png(image), width, height) : Png(image);
    if (format == QLatin1String("jpeg"))
        return stated ? WithJpegSize(Encode(image, "JPEG"), width, height) : Encode(image, "JPEG");
    if (format == QLatin1String("bmp"))
        return Encode(image, "BMP");
    return {};
}

QByteArray PictureType(const QString& format)
{
    return format == QLatin1String("svg") ? QByteArray("image/svg+xml")
                                          : "image/" + format.toLatin1();
}

QByteArray InstallerBytes()
{
    QByteArray bytes(512 * 1024, Qt::Uninitialized);
    quint32 state = 0x2545F491u;
    for (char& byte : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = char(state & 0xff);
    }
    return bytes;
}

} // namespace SampleData
