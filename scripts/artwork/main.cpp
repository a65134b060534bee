// Draws every picture, icon and the popup sound of the client's resource tree.
// Usage: make-artwork <resources folder>
// Everything is painted from geometry (no fonts), so the output is the same on every machine.

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>
#include <QtMath>

#include <cstdio>
#include <functional>

namespace {

const QColor dark(50, 50, 50);
const QColor accent(0, 200, 160);
const QColor midGrey(139, 139, 139);
const QColor lightGrey(229, 229, 229);
const QColor online(52, 179, 86);
const QColor busy(217, 69, 59);
const QColor idle(232, 163, 23);

QString outputFolder;
bool failed = false;

QImage canvas(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void save(const QImage& image, const QString& relativePath, const char* format)
{
    const QString path = outputFolder + QLatin1Char('/') + relativePath;
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!image.convertToFormat(QImage::Format_ARGB32).save(path, format)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        failed = true;
    }
}

void begin(QPainter& p)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
}

QPen roundPen(const QColor& colour, qreal width)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// A clock face: ring and two hands; the mark of time tracking.
void drawClock(QPainter& p, const QPointF& centre, qreal radius, const QColor& colour, qreal width)
{
    p.setPen(roundPen(colour, width));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, radius, radius);
    p.drawLine(centre, centre + QPointF(0, -radius * 0.62));
    p.drawLine(centre, centre + QPointF(radius * 0.48, radius * 0.1));
}

void makeLogo()
{
    QImage image = canvas(191, 41);
    QPainter p(&image);
    begin(p);
    // The mark: an accent disc holding a clock.
    p.setPen(Qt::NoPen);
    p.setBrush(accent);
    p.drawEllipse(QPointF(20.5, 20.5), 19, 19);
    drawClock(p, QPointF(20.5, 20.5), 11, Qt::white, 2.6);
    // A letter M drawn as one stroke, then three bars standing for the name.
    QPainterPath m;
    m.moveTo(50, 31);
    m.lineTo(50, 10);
    m.lineTo(60, 23);
    m.lineTo(70, 10);
    m.lineTo(70, 31);
    p.setPen(roundPen(midGrey, 4));
    p.drawPath(m);
    p.setPen(Qt::NoPen);
    p.setBrush(midGrey);
    p.drawRoundedRect(QRectF(82, 11, 104, 6), 3, 3);
    p.setBrush(accent);
    p.drawRoundedRect(QRectF(82, 20, 76, 5), 2.5, 2.5);
    p.setBrush(midGrey);
    p.drawRoundedRect(QRectF(82, 28, 52, 3), 1.5, 1.5);
    p.end();
    save(image, "design/movarelquintash_logo.png", "PNG");
}

void makeGroupArrows()
{
    for (bool expanded : { false, true }) {
        QImage image = canvas(30, 30);
        QPainter p(&image);
        begin(p);
        p.setPen(roundPen(QColor(235, 235, 235), 1.5));
        p.setBrush(QColor(235, 235, 235));
        QPolygonF triangle;
        if (expanded)
            triangle << QPointF(10, 12) << QPointF(20, 12) << QPointF(15, 18.5);
        else
            triangle << QPointF(12, 10) << QPointF(18.5, 15) << QPointF(12, 20);
        p.drawPolygon(triangle);
        p.end();
        save(image, expanded ? "design/groupExpand.png" : "design/groupNotExpand.png", "PNG");
    }
}

void makeRowButtons()
{
    // Context menu: three lines in a rounded frame.
    QImage menu = canvas(18, 18);
    {
        QPainter p(&menu);
        begin(p);
        p.setPen(roundPen(QColor(110, 110, 110), 1));
        p.setBrush(QColor(245, 245, 245));
        p.drawRoundedRect(QRectF(0.5, 0.5, 17, 17), 4, 4);
        p.setPen(roundPen(QColor(90, 90, 90), 1.8));
        for (qreal y : { 5.5, 9.0, 12.5 })
            p.drawLine(QPointF(5, y), QPointF(13, y));
    }
    save(menu, "design/contextMenuIcon.png", "PNG");

    // Chat: a speech bubble with three dots.
    QImage chat = canvas(20, 20);
    {
        QPainter p(&chat);
        begin(p);
        QPainterPath bubble;
        bubble.addRoundedRect(QRectF(1, 2, 18, 12.5), 4, 4);
        QPolygonF tail;
        tail << QPointF(5, 13) << QPointF(4.5, 18.5) << QPointF(10, 13);
        bubble.addPolygon(tail);
        bubble.setFillRule(Qt::WindingFill);
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawPath(bubble.simplified());
        p.setBrush(Qt::white);
        for (qreal x : { 6.0, 10.0, 14.0 })
            p.drawEllipse(QPointF(x, 8.25), 1.4, 1.4);
    }
    save(chat, "design/ChatButton.png", "PNG");

    // Work diary: a small ruled page with an accent band and a clock corner.
    QImage diary = canvas(20, 20);
    {
        QPainter p(&diary);
        begin(p);
        p.setPen(roundPen(dark, 1.2));
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(2.5, 1.5, 15, 17), 2, 2);
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawRect(QRectF(3.1, 2.1, 13.8, 3.5));
        p.setPen(roundPen(midGrey, 1));
        for (qreal y : { 8.5, 11.5, 14.5 })
            p.drawLine(QPointF(5.5, y), QPointF(14.5, y));
    }
    save(diary, "design/WorkDiary.png", "PNG");
}

void makePopupPictures()
{
    // The popup's face; its transparent corners also give the window its rounded mask.
    QImage back = canvas(247, 143);
    {
        QPainter p(&back);
        begin(p);
        QLinearGradient fill(0, 0, 0, 143);
        fill.setColorAt(0, Qt::white);
        fill.setColorAt(1, QColor(238, 238, 238));
        p.setPen(QPen(QColor(189, 189, 189), 1));
        p.setBrush(fill);
        p.drawRoundedRect(QRectF(0.5, 0.5, 246, 142), 12, 12);
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawRoundedRect(QRectF(14, 139, 219, 2), 1, 1);
    }
    save(back, "design/popupBack.png", "PNG");

    // The countdown ball: light enough for black digits.
    QImage ball = canvas(43, 44);
    {
        QPainter p(&ball);
        begin(p);
        QRadialGradient fill(QPointF(17, 16), 24);
        fill.setColorAt(0, Qt::white);
        fill.setColorAt(1, QColor(178, 236, 222));
        p.setPen(QPen(accent, 2));
        p.setBrush(fill);
        p.drawEllipse(QPointF(21.5, 22), 20, 20);
    }
    save(ball, "design/popupBall.png", "PNG");

    QImage button = canvas(72, 31);
    {
        QPainter p(&button);
        begin(p);
        QLinearGradient fill(0, 0, 0, 31);
        fill.setColorAt(0, QColor(253, 253, 253));
        fill.setColorAt(1, QColor(214, 214, 214));
        p.setPen(QPen(QColor(160, 160, 160), 1));
        p.setBrush(fill);
        p.drawRoundedRect(QRectF(0.5, 0.5, 71, 30), 6, 6);
    }
    save(button, "design/popupButtonBack.png", "PNG");

    QImage close = canvas(16, 16);
    {
        QPainter p(&close);
        begin(p);
        p.setPen(roundPen(midGrey, 1.8));
        p.drawLine(QPointF(4.5, 4.5), QPointF(11.5, 11.5));
        p.drawLine(QPointF(11.5, 4.5), QPointF(4.5, 11.5));
    }
    save(close, "design/closeButton.png", "PNG");
}

enum class TitleGlyph
{
    Close,
    Maximize,
    Minimize,
    Inactive
};

void drawTitleButton(TitleGlyph glyph, bool hover, const QString& name)
{
    QImage image = canvas(23, 17);
    QPainter p(&image);
    begin(p);
    QColor glyphColour(200, 200, 200);
    if (hover) {
        p.setPen(Qt::NoPen);
        p.setBrush(glyph == TitleGlyph::Close ? busy : QColor(90, 90, 90));
        p.drawRoundedRect(QRectF(1, 1, 21, 15), 3, 3);
        glyphColour = Qt::white;
    }
    p.setPen(roundPen(glyphColour, 1.5));
    p.setBrush(Qt::NoBrush);
    switch (glyph) {
    case TitleGlyph::Close:
        p.drawLine(QPointF(8, 5), QPointF(15, 12));
        p.drawLine(QPointF(15, 5), QPointF(8, 12));
        break;
    case TitleGlyph::Maximize:
        p.drawRect(QRectF(7.5, 4.5, 8, 8));
        break;
    case TitleGlyph::Minimize:
        p.drawLine(QPointF(7.5, 11.5), QPointF(15.5, 11.5));
        break;
    case TitleGlyph::Inactive:
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(100, 100, 100));
        p.drawEllipse(QPointF(11.5, 8.5), 3, 3);
        break;
    }
    p.end();
    save(image, "title/" + name + ".png", "PNG");
}

void makeTitleButtons()
{
    drawTitleButton(TitleGlyph::Close, false, "close");
    drawTitleButton(TitleGlyph::Close, true, "close_hover");
    drawTitleButton(TitleGlyph::Maximize, false, "maximize");
    drawTitleButton(TitleGlyph::Maximize, true, "maximize_hover");
    drawTitleButton(TitleGlyph::Minimize, false, "minimize");
    drawTitleButton(TitleGlyph::Minimize, true, "minimize_hover");
    drawTitleButton(TitleGlyph::Inactive, false, "inactive");
}

// Status icons of the tray and the roster rows: the colour tells the status,
// the clock tells that time is being tracked.
void drawStatusIcon(const QColor& colour, bool tracking, const QString& name)
{
    QImage image = canvas(32, 32);
    QPainter p(&image);
    begin(p);
    QRadialGradient fill(QPointF(12, 11), 20);
    fill.setColorAt(0, colour.lighter(135));
    fill.setColorAt(1, colour);
    p.setPen(QPen(colour.darker(140), 1.2));
    p.setBrush(fill);
    p.drawEllipse(QPointF(16, 16), 14.5, 14.5);
    if (tracking)
        drawClock(p, QPointF(16, 16), 8.5, Qt::white, 2.4);
    else {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 90));
        p.drawEllipse(QPointF(12.5, 11.5), 4.5, 3.5);
    }
    p.end();
    save(image, "tray/" + name + ".ico", "ICO");
}

void makeTrayIcons()
{
    drawStatusIcon(online, true, "trackTimeNormal");
    drawStatusIcon(busy, true, "trackTimeBusy");
    drawStatusIcon(idle, true, "trackTimeIdle");
    drawStatusIcon(online, false, "normal");
    drawStatusIcon(idle, false, "idle");
    drawStatusIcon(busy, false, "busy");
}

// The application icon of the desktop's menus and launchers: a stopwatch on an accent tile.
// Drawn on a 256-unit grid; strokes never get thinner than about 1.6 pixels, so the
// small sizes stay legible.
QImage drawApplicationIcon(int size)
{
    QImage image = canvas(size, size);
    QPainter p(&image);
    begin(p);
    const qreal scale = size / 256.0;
    p.scale(scale, scale);
    const qreal minStroke = 1.6 / scale;

    QLinearGradient tile(0, 16, 0, 240);
    tile.setColorAt(0, accent.lighter(118));
    tile.setColorAt(1, accent.darker(135));
    p.setPen(QPen(accent.darker(170), qMax(4.0, minStroke * 0.6)));
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(16, 16, 224, 224), 48, 48);

    const QPointF centre(128, 142);
    const qreal radius = 70;
    const qreal ring = qMax(18.0, minStroke);
    // The crown and its stem above the ring.
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(104, 36, 48, qMax(18.0, minStroke * 1.2)), 8, 8);
    p.drawRect(QRectF(128 - qMax(8.0, minStroke) / 2, 50, qMax(8.0, minStroke), 30));
    // The face: a white ring round a dark dial, so the hands read on any panel colour.
    p.setBrush(dark);
    p.setPen(QPen(Qt::white, ring));
    p.drawEllipse(centre, radius, radius);
    p.setPen(roundPen(accent.lighter(125), qMax(14.0, minStroke)));
    p.drawLine(centre, centre + QPointF(0, -radius * 0.62));
    p.setPen(roundPen(Qt::white, qMax(14.0, minStroke)));
    p.drawLine(centre, centre + QPointF(radius * 0.5, radius * 0.12));
    p.end();
    return image;
}

void makeApplicationIcon()
{
    for (int size : { 16, 22, 24, 32, 48, 64, 128, 256 }) {
        save(drawApplicationIcon(size),
            QStringLiteral("icons/hicolor/%1x%1/apps/movarelquintash-client.png").arg(size), "PNG");
    }
}

// A short two-note bell chime: 16-bit mono PCM.
// The left panel's marks: light strokes on the dark panel, one accent detail each. The
// Internet-services strip holds four small marks, each level with its link's row.
const QColor panelStroke(205, 205, 205);

void drawPerson(QPainter& p, const QPointF& head, qreal scale)
{
    p.setPen(Qt::NoPen);
    p.setBrush(panelStroke);
    p.drawEllipse(head, 4.2 * scale, 4.2 * scale);
    QPainterPath shoulders;
    const QPointF base = head + QPointF(0, 13 * scale);
    shoulders.moveTo(base + QPointF(-8 * scale, 0));
    shoulders.cubicTo(base + QPointF(-8 * scale, -8 * scale), base + QPointF(8 * scale, -8 * scale),
        base + QPointF(8 * scale, 0));
    shoulders.closeSubpath();
    p.drawPath(shoulders);
}

QImage panelIcon(const std::function<void(QPainter&)>& draw)
{
    QImage image = canvas(32, 32);
    QPainter p(&image);
    begin(p);
    draw(p);
    return image;
}

void makePanelIcons()
{
    save(panelIcon([](QPainter& p) {
        drawPerson(p, QPointF(15, 10), 1.1);
        p.setPen(QPen(QColor(38, 38, 38), 2));
        p.setBrush(online);
        p.drawEllipse(QPointF(23, 22), 4.5, 4.5);
    }),
        "design/panelStatus.png", "PNG");

    save(panelIcon([](QPainter& p) {
        drawPerson(p, QPointF(9, 11), 0.8);
        drawPerson(p, QPointF(23, 11), 0.8);
        p.setPen(QPen(QColor(38, 38, 38), 1.5));
        drawPerson(p, QPointF(16, 14), 1.0);
        p.setPen(roundPen(accent, 2));
        p.drawLine(QPointF(6, 28), QPointF(26, 28));
    }),
        "design/panelRoomView.png", "PNG");

    save(panelIcon([](QPainter& p) {
        // A wrench: handle and open ring.
        p.setPen(roundPen(panelStroke, 4.5));
        p.drawLine(QPointF(8, 24), QPointF(18, 14));
        p.setPen(roundPen(panelStroke, 3));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(15, 5, 12, 12), -30 * 16, 280 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawEllipse(QPointF(8, 24), 2, 2);
    }),
        "design/panelTools.png", "PNG");

    save(panelIcon([](QPainter& p) {
        // Three coins stacked, the top one accent.
        for (int coin = 0; coin < 3; ++coin) {
            const qreal y = 24 - coin * 6;
            p.setPen(QPen(QColor(38, 38, 38), 1.2));
            p.setBrush(coin == 2 ? accent : panelStroke);
            p.drawRect(QRectF(6, y - 3, 20, 6));
            p.drawEllipse(QRectF(6, y, 20, 6));
            p.drawEllipse(QRectF(6, y - 6, 20, 6));
            p.setPen(Qt::NoPen);
            p.drawRect(QRectF(6.6, y - 3, 18.8, 6));
        }
    }),
        "design/panelFinance.png", "PNG");

    save(panelIcon([](QPainter& p) {
        // Four tiles of tools, one accent.
        p.setPen(Qt::NoPen);
        for (int tile = 0; tile < 4; ++tile) {
            p.setBrush(tile == 1 ? accent : panelStroke);
            p.drawRoundedRect(QRectF(6 + (tile % 2) * 11, 6 + (tile / 2) * 11, 9, 9), 2, 2);
        }
    }),
        "design/panelTeamwork.png", "PNG");

    save(panelIcon([](QPainter& p) {
        p.setPen(roundPen(panelStroke, 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(16, 16), 11, 11);
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawEllipse(QPointF(16, 10.5), 1.8, 1.8);
        p.setBrush(panelStroke);
        p.drawRoundedRect(QRectF(14.5, 14, 3, 9), 1.2, 1.2);
    }),
        "design/panelAbout.png", "PNG");

    QImage strip = canvas(20, 82);
    {
        QPainter p(&strip);
        begin(p);
        // My mail: an envelope.
        p.setPen(roundPen(panelStroke, 1.3));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(3.5, 3.5, 13, 9));
        p.drawPolyline(QPolygonF({ QPointF(3.5, 3.5), QPointF(10, 9), QPointF(16.5, 3.5) }));
        // Find: a magnifier.
        p.drawEllipse(QPointF(9, 28), 4.2, 4.2);
        p.setPen(roundPen(accent, 2));
        p.drawLine(QPointF(12.2, 31.2), QPointF(16, 35));
        // Post job: a page with a plus.
        p.setPen(roundPen(panelStroke, 1.3));
        p.drawRect(QRectF(4.5, 43.5, 10, 13));
        p.setPen(roundPen(accent, 1.6));
        p.drawLine(QPointF(9.5, 46.5), QPointF(9.5, 53.5));
        p.drawLine(QPointF(6, 50), QPointF(13, 50));
        // Academy: a graduation cap.
        p.setPen(Qt::NoPen);
        p.setBrush(panelStroke);
        p.drawPolygon(
            QPolygonF({ QPointF(10, 68), QPointF(18, 72), QPointF(10, 76), QPointF(2, 72) }));
        p.drawRect(QRectF(6, 74, 8, 4));
        p.setPen(roundPen(accent, 1.2));
        p.drawLine(QPointF(16, 73), QPointF(16, 79));
    }
    save(strip, "design/panelInternetServices.png", "PNG");
}

void makeSound()
{
    const int rate = 22050;
    const double length = 0.8;
    const int frames = int(rate * length);
    struct Note
    {
        double start;
        double frequency;
    };
    const Note notes[] = { { 0.0, 880.0 }, { 0.13, 1318.51 } };

    QVector<double> samples(frames, 0.0);
    for (const Note& note : notes) {
        for (int i = int(note.start * rate); i < frames; ++i) {
            const double t = double(i) / rate - note.start;
            const double attack = qMin(1.0, t / 0.004);
            const double envelope = attack * qExp(-t / 0.22);
            // The partial at 2.76 gives the bell colour; it fades faster than the tone.
            const double tone = qSin(2 * M_PI * note.frequency * t)
                + 0.35 * qExp(-t / 0.08) * qSin(2 * M_PI * note.frequency * 2.76 * t)
                + 0.15 * qSin(2 * M_PI * note.frequency * 2 * t);
            samples[i] += envelope * tone;
        }
    }
    double peak = 0;
    for (double s : samples)
        peak = qMax(peak, qAbs(s));
    // Fade the tail to silence so the sound never ends with a click.
    const int fade = rate / 20;
    for (int i = 0; i < fade; ++i)
        samples[frames - 1 - i] *= double(i) / fade;

    QByteArray pcm;
    QDataStream data(&pcm, QIODevice::WriteOnly);
    data.setByteOrder(QDataStream::LittleEndian);
    for (double s : samples)
        data << qint16(qRound(s / peak * 0.6 * 32767));

    QByteArray wav;
    QDataStream out(&wav, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + pcm.size());
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(rate) << quint32(rate * 2)
        << quint16(2) << quint16(16);
    out.writeRawData("data", 4);
    out << quint32(pcm.size());
    out.writeRawData(pcm.constData(), pcm.size());

    const QString path = outputFolder + "/data/sound.wav";
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(wav) != wav.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        failed = true;
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-artwork <resources folder>\n");
        return 2;
    }
    outputFolder = QString::fromLocal8Bit(argv[1]);
    makeLogo();
    makeGroupArrows();
    makeRowButtons();
    makePopupPictures();
    makeTitleButtons();
    makeTrayIcons();
    makePanelIcons();
    makeApplicationIcon();
    makeSound();
    return failed ? 1 : 0;
}
