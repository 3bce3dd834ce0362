#include "az_position_bar.h"

#include "colorstrings.h"
#include "timage.h"

#include <QPainter>

#include <cmath>
#include <utility>

namespace {

// Round to nearest with halves to even, as the bar's arithmetic wants it.
qint64 roundHalfEven(double value)
{
    return static_cast<qint64>(std::nearbyint(value));
}

constexpr QRgb kTransparentWhite = 0xFFFFFF;

} // namespace

void drawTransparent(QImage &dest, const QRect &destRect, const QImage &source,
                     const QRect &sourceRect)
{
    if (dest.isNull() || source.isNull() || destRect.width() <= 0 || destRect.height() <= 0
        || sourceRect.width() <= 0 || sourceRect.height() <= 0)
        return;
    if (dest.format() != QImage::Format_RGB32 && dest.format() != QImage::Format_ARGB32)
        dest = dest.convertToFormat(QImage::Format_RGB32);
    const QImage src = source.convertToFormat(QImage::Format_RGB32);
    const QRect visible = destRect.intersected(dest.rect());
    for (int y = visible.top(); y <= visible.bottom(); ++y) {
        // Nearest source pixel of each destination pixel, as a plain stretch
        // copy picks it.
        const qint64 sy = sourceRect.top()
            + (static_cast<qint64>(y - destRect.top()) * sourceRect.height()) / destRect.height();
        if (sy < 0 || sy >= src.height())
            continue;
        const QRgb *srcLine = reinterpret_cast<const QRgb *>(src.constScanLine(static_cast<int>(sy)));
        QRgb *destLine = reinterpret_cast<QRgb *>(dest.scanLine(y));
        for (int x = visible.left(); x <= visible.right(); ++x) {
            const qint64 sx = sourceRect.left()
                + (static_cast<qint64>(x - destRect.left()) * sourceRect.width()) / destRect.width();
            if (sx < 0 || sx >= src.width())
                continue;
            const QRgb pixel = srcLine[sx];
            if ((pixel & 0xFFFFFF) != kTransparentWhite)
                destLine[x] = pixel | 0xFF000000u;
        }
    }
}

TAzPositionBar::TAzPositionBar(TImage *image, TImage *grip, ChangeHandler onChange,
                               bool immediate, quint32 width, quint32 top, quint32 left,
                               quint32 colour, qint32 min, qint32 max, qint32 position)
    : TAzPositionBar(image, grip, std::move(onChange), immediate, width, top, left, colour, min,
                     max, position, true)
{
}

TAzPositionBar::TAzPositionBar(TImage *image, TImage *grip, ChangeHandler onChange,
                               bool immediate, quint32 width, quint32 top, quint32 left,
                               quint32 colour, qint32 min, qint32 max, qint32 position,
                               bool paintNow)
    : Width(width)
    , Height(static_cast<quint32>(grip->picture().height()) + 2)
    , Top(top)
    , Left(left)
    , Colour(colour)
    , GripWidth(static_cast<quint32>(grip->picture().width()))
    , GripHeight(static_cast<quint32>(grip->picture().height()))
    , Min(min)
    , Max(max)
    , Position(position)
    , Image(image)
    , Grip(grip)
    , Immediate(immediate)
    , OnChange(std::move(onChange))
{
    Background = Image->picture().copy(static_cast<int>(Left), static_cast<int>(Top),
                                       static_cast<int>(Width), static_cast<int>(Height));
    if (paintNow)
        Paint();
}

TAzPositionBar::~TAzPositionBar() = default;

bool TAzPositionBar::isInside(int x, int y) const
{
    if (x < 0 || y < 0)
        return false;
    const qint64 ux = x;
    const qint64 uy = y;
    return ux >= Left && ux <= qint64(Left) + Width && uy >= Top && uy <= qint64(Top) + Height;
}

int TAzPositionBar::gripX() const
{
    // A bar without a range has nowhere to move its grip: it rests at the
    // left end.
    if (Max == Min)
        return 0;
    const double share = (double(Position) - double(Min)) / (double(Max) - double(Min));
    return static_cast<int>(roundHalfEven(share * (double(Width) - double(GripWidth))));
}

int TAzPositionBar::gripY() const
{
    return static_cast<int>(Top) + (static_cast<int>(Height) - static_cast<int>(GripHeight)) / 2;
}

void TAzPositionBar::restoreBackground()
{
    QPainter painter(&Image->picture());
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPoint(static_cast<int>(Left), static_cast<int>(Top)), Background);
}

void TAzPositionBar::paintGrip()
{
    const int x = static_cast<int>(Left) + gripX();
    drawTransparent(Image->picture(),
                    QRect(x, gripY(), static_cast<int>(GripWidth), static_cast<int>(GripHeight)),
                    Grip->picture(), Grip->picture().rect());
}

void TAzPositionBar::Paint()
{
    // An image without a picture has nothing to paint into yet.
    if (Image->picture().isNull())
        return;
    TCanvasState &canvas = Image->canvas();
    const TCanvasState saved = canvas;
    restoreBackground();
    canvas.penColor = toQColor(Colour);
    canvas.brushColor = canvas.penColor;
    canvas.brushSolid = true;
    {
        const int lineTop = static_cast<int>(Top)
            + (static_cast<int>(Height) - static_cast<int>(LineWidth)) / 2;
        QPainter painter(&Image->picture());
        painter.fillRect(QRect(static_cast<int>(Left), lineTop, static_cast<int>(Width),
                               static_cast<int>(LineWidth)),
                         canvas.brushColor);
    }
    canvas.brushSolid = false;
    paintGrip();
    canvas = saved;
    Image->changed();
}

void TAzPositionBar::setMax(qint32 value)
{
    Max = value;
    Paint();
}

void TAzPositionBar::setPosition(qint32 value)
{
    if (Dragging)
        return;
    Position = value;
    Paint();
}

void TAzPositionBar::moveTo(int x)
{
    const double span = double(Width) - double(GripWidth);
    const double offset = double(x) - double(Left) - double(GripWidth / 2);
    // A bar no wider than its grip has no travel; it reads as the minimum.
    const double value = span > 0 ? offset / span * (double(Max) - double(Min)) + double(Min)
                                  : double(Min);
    qint64 p = roundHalfEven(value);
    if (p < Min)
        p = Min;
    if (p > Max)
        p = Max;
    Position = static_cast<qint32>(p);
}

void TAzPositionBar::MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y)
{
    if (!isInside(x, y))
        return;
    if (!Dragging) {
        Dragging = true;
        PositionBeforeDrag = Position;
    }
    moveTo(x);
    Paint();
    if (Immediate && OnChange)
        OnChange(Position);
}

void TAzPositionBar::MouseMove(Qt::KeyboardModifiers modifiers, int x, int y)
{
    if (Dragging)
        MouseDown(Qt::NoButton, modifiers, x, y);
    if (isInside(x, y)) {
        if (Image->cursor().shape() != Qt::PointingHandCursor) {
            SavedCursor = Image->cursor().shape();
            Image->setCursor(Qt::PointingHandCursor);
        }
    } else if (SavedCursor) {
        Image->setCursor(*SavedCursor);
        SavedCursor.reset();
    }
}

void TAzPositionBar::MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y)
{
    if (isInside(x, y)) {
        if (!Immediate && OnChange)
            OnChange(Position);
    } else if (Dragging && !Immediate) {
        Position = PositionBeforeDrag;
        Paint();
    }
    Dragging = false;
}
