#include "defaultskin.h"

#include <QFile>
#include <QImageReader>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtEndian>

#include <cmath>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

const QByteArray kBitmapFormat = QByteArrayLiteral("BMP");
// File header and the start of the information header, up to the
// compression field.
constexpr qint64 kBitmapHeaderBytes = 34;
constexpr quint32 kBitmapCoreHeaderSize = 12;
constexpr quint32 kBitmapUncompressed = 0;
constexpr quint32 kBitmapBitFields = 3;
const QString kWordmark = u"MELODECK"_s;

constexpr QRgb kWhite = 0xFFFFFFFF;

// The deck's palette.
const QColor kDeckTop(0x2A, 0x31, 0x40);
const QColor kDeckBottom(0x12, 0x16, 0x1F);
const QColor kLcdTop(0x07, 0x14, 0x1C);
const QColor kLcdBottom(0x0D, 0x26, 0x33);
const QColor kAccent(0x3E, 0xC8, 0xF0);
// What the fixed pictures sit on in the default skin: their soft edges are
// blended against it, since white is their transparent colour.
const QColor kPictureGround(0x1A, 0x20, 0x2B);

QImage blankPicture(int width, int height, QRgb fill)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(fill);
    return image;
}

// Turns an anti-aliased drawing on a transparent ground into a picture with
// white as its transparent colour: weak edge pixels drop out, the rest are
// blended against the colour the picture will sit on. Pure white inside the
// drawing would vanish too, so it is toned down a shade.
QImage flattenOnWhite(const QImage &drawing, const QColor &ground)
{
    QImage out(drawing.size(), QImage::Format_RGB32);
    for (int y = 0; y < drawing.height(); ++y) {
        for (int x = 0; x < drawing.width(); ++x) {
            const QColor c = QColor::fromRgba(drawing.pixel(x, y));
            if (c.alpha() < 96) {
                out.setPixel(x, y, kWhite);
                continue;
            }
            const double a = c.alphaF();
            int r = qRound(c.red() * a + ground.red() * (1 - a));
            int g = qRound(c.green() * a + ground.green() * (1 - a));
            int b = qRound(c.blue() * a + ground.blue() * (1 - a));
            if (r == 255 && g == 255 && b == 255)
                b = 254;
            out.setPixel(x, y, qRgb(r, g, b));
        }
    }
    return out;
}

QImage transparentCanvas(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QLinearGradient vertical(const QRectF &r, const QColor &top, const QColor &bottom)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    return g;
}

// A recessed panel: dark glassy face, shadow along the top and left, a thin
// light edge along the bottom and right.
void recessedPanel(QPainter &p, const QRect &r, const QColor &top, const QColor &bottom)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF outer = QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QPen(QColor(255, 255, 255, 40), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(outer.translated(0, 1), 4, 4);
    p.setPen(QPen(QColor(0, 0, 0, 200), 1));
    p.setBrush(vertical(outer, top, bottom));
    p.drawRoundedRect(outer, 4, 4);
    // Glass sheen over the upper half.
    QRectF sheen = outer.adjusted(2, 2, -2, -outer.height() / 2);
    QLinearGradient shine(sheen.topLeft(), sheen.bottomLeft());
    shine.setColorAt(0, QColor(255, 255, 255, 28));
    shine.setColorAt(1, QColor(255, 255, 255, 4));
    p.setPen(Qt::NoPen);
    p.setBrush(shine);
    p.drawRoundedRect(sheen, 3, 3);
    p.restore();
}

void drawDeck(QPainter &p)
{
    const QRect all(0, 0, kSkinWidth, kSkinHeight);
    p.fillRect(all, vertical(all, kDeckTop, kDeckBottom));
    // Fine horizontal brushing.
    for (int y = 0; y < kSkinHeight; y += 2)
        p.fillRect(QRect(0, y, kSkinWidth, 1), QColor(255, 255, 255, (y % 6 == 0) ? 7 : 3));
    // Top highlight and a bevel line under the display area.
    p.fillRect(QRect(0, 0, kSkinWidth, 1), QColor(255, 255, 255, 60));
    p.fillRect(QRect(0, 1, kSkinWidth, 1), QColor(255, 255, 255, 20));
}

void drawDisplayPanels(QPainter &p)
{
    // Track number and time, side by side over the field rectangles.
    recessedPanel(p, QRect(2, 6, 128, 38), kLcdTop, kLcdBottom);
    recessedPanel(p, QRect(134, 6, 238, 38), kLcdTop, kLcdBottom);
    // The spectrum's area (377, 8, 150 x 35) sits inside its frame.
    recessedPanel(p, QRect(375, 6, 154, 39), QColor(0x04, 0x0C, 0x12), QColor(0x08, 0x18, 0x22));
    // Faint scale lines behind the spectrum bars.
    for (int y = 14; y < 43; y += 7)
        p.fillRect(QRect(378, y, 148, 1), QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 22));
    // Volume corner.
    recessedPanel(p, QRect(534, 6, 62, 38), QColor(0x16, 0x1B, 0x25), kPictureGround);
    // A small speaker beside the wedge.
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x9A, 0xA6, 0xB8));
    QPainterPath speaker;
    speaker.moveTo(538, 20);
    speaker.lineTo(541, 20);
    speaker.lineTo(545, 16);
    speaker.lineTo(545, 30);
    speaker.lineTo(541, 26);
    speaker.lineTo(538, 26);
    speaker.closeSubpath();
    p.drawPath(speaker);
    p.restore();
}

void drawPositionTrack(QPainter &p)
{
    // The bar's own line is drawn at rows 58 and 59; the groove frames it.
    p.fillRect(QRect(0, 47, kSkinWidth, 25), QColor(0, 0, 0, 50));
    p.fillRect(QRect(0, 55, kSkinWidth, 8), vertical(QRect(0, 55, kSkinWidth, 8),
                                                     QColor(0x05, 0x08, 0x0D), QColor(0x1E, 0x25, 0x31)));
    p.fillRect(QRect(0, 63, kSkinWidth, 1), QColor(255, 255, 255, 30));
    // Tick marks every tenth of the way.
    for (int i = 0; i <= 10; ++i) {
        const int x = 13 + i * (kSkinWidth - 27) / 10;
        p.fillRect(QRect(x, 50, 1, 3), QColor(255, 255, 255, 45));
        p.fillRect(QRect(x, 66, 1, 3), QColor(255, 255, 255, 45));
    }
}

void drawInfoPanel(QPainter &p)
{
    // Artist, title and album: one long glass panel over rows 77 to 143.
    recessedPanel(p, QRect(4, 74, 592, 73), kLcdTop, kLcdBottom);
    p.fillRect(QRect(10, 100, 580, 1), QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 26));
    p.fillRect(QRect(10, 123, 580, 1), QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 26));
}

void drawControlDeck(QPainter &p)
{
    // The buttons, search row and tabs of the window sit on this part.
    const QRect deck(0, 150, kSkinWidth, kSkinHeight - 150);
    p.fillRect(deck, vertical(deck, QColor(0x30, 0x38, 0x48), QColor(0x14, 0x18, 0x21)));
    p.fillRect(QRect(0, 150, kSkinWidth, 1), QColor(0, 0, 0, 160));
    p.fillRect(QRect(0, 151, kSkinWidth, 1), QColor(255, 255, 255, 45));
    // Accent line under the transport buttons.
    QLinearGradient glow(QPointF(0, 0), QPointF(kSkinWidth, 0));
    glow.setColorAt(0, QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 0));
    glow.setColorAt(0.5, QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 120));
    glow.setColorAt(1, QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 0));
    p.fillRect(QRect(0, 200, kSkinWidth, 1), glow);

    // The name plate, right-aligned in the strip above the buttons.
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QFont font(u"Liberation Sans"_s);
    font.setPixelSize(11);
    font.setBold(true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    QPainterPath mark;
    mark.addText(0, 0, font, kWordmark);
    const QRectF box = mark.boundingRect();
    mark.translate(kSkinWidth - 10 - box.right(), 163 - box.bottom());
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 140));
    p.drawPath(mark.translated(0, 1));
    p.setBrush(QColor(0xC8, 0xD2, 0xE0));
    p.drawPath(mark);
    p.setBrush(kAccent);
    p.drawEllipse(QPointF(kSkinWidth - 18 - box.width(), 158.5), 2.5, 2.5);
    p.restore();
}

// Draws a glyph's strokes in near-black on white, the button's own face
// showing through the white.
QImage glyph(const std::function<void(QPainter &)> &draw)
{
    QImage canvas = transparentCanvas(21, 11);
    {
        QPainter p(&canvas);
        p.setRenderHint(QPainter::Antialiasing);
        QPen pen(QColor(0x10, 0x10, 0x10), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        draw(p);
    }
    return flattenOnWhite(canvas, QColor(0xD4, 0xD0, 0xC8));
}

} // namespace

QImage defaultSkinPicture()
{
    QImage picture = blankPicture(kSkinWidth, kSkinHeight, 0xFF000000);
    QPainter p(&picture);
    drawDeck(p);
    drawDisplayPanels(p);
    drawPositionTrack(p);
    drawInfoPanel(p);
    drawControlDeck(p);
    p.end();
    return picture;
}

TSkinSettings defaultSkinSettings()
{
    return TSkinSettings::defaults();
}

QImage gripPicture()
{
    QImage canvas = transparentCanvas(27, 22);
    {
        QPainter p(&canvas);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF body(0.5, 0.5, 26, 21);
        p.setPen(QPen(QColor(0x30, 0x34, 0x3C), 1));
        p.setBrush(vertical(body, QColor(0xEE, 0xF0, 0xF3), QColor(0x8E, 0x94, 0x9E)));
        p.drawRoundedRect(body, 6, 6);
        // Inner highlight.
        p.setPen(QPen(QColor(255, 255, 255, 110), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(body.adjusted(1, 1, -1, -1), 5, 5);
        // The short double line in the middle.
        p.setRenderHint(QPainter::Antialiasing, false);
        p.fillRect(QRect(11, 7, 2, 8), QColor(0x10, 0x10, 0x10));
        p.fillRect(QRect(14, 7, 2, 8), QColor(0x10, 0x10, 0x10));
    }
    return flattenOnWhite(canvas, kPictureGround);
}

namespace {

QImage wedge(const QColor &low, const QColor &high, const QColor &edge)
{
    QImage canvas = transparentCanvas(36, 20);
    {
        QPainter p(&canvas);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.moveTo(0, 20);
        path.lineTo(36, 0);
        path.lineTo(36, 20);
        path.closeSubpath();
        QLinearGradient g(QPointF(0, 0), QPointF(36, 0));
        g.setColorAt(0, low);
        g.setColorAt(1, high);
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawPath(path);
        p.setPen(QPen(edge, 1));
        p.drawLine(QPointF(0.5, 19.5), QPointF(35.5, 0.5));
    }
    return flattenOnWhite(canvas, kPictureGround);
}

} // namespace

QImage volBackPicture()
{
    return wedge(QColor(0x4A, 0x50, 0x5C), QColor(0x7E, 0x86, 0x94), QColor(0x9C, 0xA4, 0xB2));
}

QImage volOverlayPicture()
{
    return wedge(QColor(0xC8, 0xBE, 0x98), QColor(0xFA, 0xF3, 0xD6), QColor(0xFF, 0xF8, 0xE4));
}

QImage volDragPicture()
{
    QImage picture = blankPicture(3, 20, kWhite);
    for (int y = 0; y < 20; ++y) {
        picture.setPixel(0, y, qRgb(0xF0, 0xF0, 0xF0));
        picture.setPixel(2, y, qRgb(0x00, 0x00, 0x00));
    }
    for (int y = 7; y < 13; ++y)
        picture.setPixel(1, y, qRgb(0x10, 0x10, 0x10));
    return picture;
}

QImage glyph1Picture()
{
    return glyph([](QPainter &p) {
        // A "1" with its flag and foot, ending a short line: play up to here.
        p.drawLine(QPointF(11, 1.5), QPointF(11, 9.5));
        p.drawLine(QPointF(11, 1.5), QPointF(8.5, 3.5));
        p.drawLine(QPointF(8.5, 9.5), QPointF(13.5, 9.5));
    });
}

QImage glyphInfinitePicture()
{
    return glyph([](QPainter &p) {
        QPainterPath path;
        path.moveTo(10.5, 5.5);
        path.cubicTo(13, 1, 18.5, 1, 18.5, 5.5);
        path.cubicTo(18.5, 10, 13, 10, 10.5, 5.5);
        path.cubicTo(8, 1, 2.5, 1, 2.5, 5.5);
        path.cubicTo(2.5, 10, 8, 10, 10.5, 5.5);
        p.drawPath(path);
    });
}

QImage glyphShutdownPicture()
{
    return glyph([](QPainter &p) {
        // The power sign: a ring open at the top, crossed by a short bar.
        const QRectF ring(6, 1.5, 9, 8.5);
        p.drawArc(ring, 125 * 16, -290 * 16);
        p.drawLine(QPointF(10.5, 0.8), QPointF(10.5, 5.2));
    });
}

QImage whiteToTransparent(const QImage &picture)
{
    QImage out = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            if ((line[x] & 0xFFFFFF) == 0xFFFFFF)
                line[x] = 0;
        }
    }
    return out;
}

namespace {

// The image reader fills whatever a cut-off bitmap lacks with black and calls
// it a success; a skin that lost part of its pixels counts as damaged here.
bool bitmapHoldsAllItsPixels(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(kBitmapHeaderBytes);
    if (head.size() < kBitmapHeaderBytes || !head.startsWith("BM"))
        return false;
    const auto *bytes = reinterpret_cast<const uchar *>(head.constData());
    const quint32 pixelOffset = qFromLittleEndian<quint32>(bytes + 10);
    // The old core header keeps its sizes in 16 bits; leave it to the reader.
    if (qFromLittleEndian<quint32>(bytes + 14) == kBitmapCoreHeaderSize)
        return true;
    const qint32 width = qFromLittleEndian<qint32>(bytes + 18);
    const qint32 height = qFromLittleEndian<qint32>(bytes + 22);
    const quint16 bitsPerPixel = qFromLittleEndian<quint16>(bytes + 28);
    const quint32 compression = qFromLittleEndian<quint32>(bytes + 30);
    // Run-length coded bitmaps have no fixed size; the reader judges those.
    if (compression != kBitmapUncompressed && compression != kBitmapBitFields)
        return true;
    if (width <= 0 || height == 0)
        return false;
    const qint64 rowBytes = (qint64(width) * bitsPerPixel + 31) / 32 * 4;
    const qint64 needed = qint64(pixelOffset) + rowBytes * std::abs(qint64(height));
    return file.size() >= needed;
}

} // namespace

bool loadSkinPicture(const QString &path, QImage &out)
{
    if (!QFile::exists(path) || !bitmapHoldsAllItsPixels(path))
        return false;
    QImageReader reader(path, kBitmapFormat);
    reader.setDecideFormatFromContent(false);
    QImage picture;
    if (!reader.read(&picture) || picture.isNull())
        return false;
    out = picture.convertToFormat(QImage::Format_RGB32);
    return true;
}

bool saveSkinPicture(const QImage &picture, const QString &path)
{
    // A 32-bit picture is written as a 24-bit bitmap.
    return picture.convertToFormat(QImage::Format_RGB32).save(path, kBitmapFormat.constData());
}
