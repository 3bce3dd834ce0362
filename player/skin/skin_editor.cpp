#include "skin_editor.h"

#include "defaultskin.h"

#include <QPainter>

#include <cmath>

using namespace SkinEditor;

namespace {

int floorOf(double value)
{
    return static_cast<int>(std::floor(value));
}

// To nearest, halves to even (the default rounding mode).
int roundOf(double value)
{
    return static_cast<int>(std::nearbyint(value));
}

} // namespace

void TSkinEditorGeometry::pictureLoaded(int sourceWidth, int sourceHeight)
{
    sw_ = sourceWidth;
    sh_ = sourceHeight;
    zoom_ = sw_ < sh_ ? static_cast<double>(PreviewHeight) / sh_ : static_cast<double>(PreviewWidth) / sw_;
    const bool bigPicture = sw_ > kSkinWidth - 1 || sh_ > kSkinHeight - 1;
    rectScale_ = bigPicture ? zoom_ : static_cast<double>(PreviewWidth) / kSkinWidth;
}

void TSkinEditorGeometry::grow()
{
    const double next = rectScale_ + ScaleStep;
    if (floorOf(next * kSkinWidth) <= PreviewWidth && floorOf(next * kSkinHeight) <= PreviewHeight)
        rectScale_ = next;
    else
        rectScale_ = static_cast<double>(PreviewWidth) / kSkinWidth;
}

void TSkinEditorGeometry::shrink()
{
    if (rectScale_ - ScaleStep > 0)
        rectScale_ -= ScaleStep;
}

void TSkinEditorGeometry::mouseDown(int x, int y)
{
    x0_ = x;
    y0_ = y;
    dragging_ = true;
}

void TSkinEditorGeometry::mouseMove(int x, int y)
{
    if (!dragging_)
        return;
    const int m = markWidth();
    const int n = markHeight();
    const int left = (PreviewWidth - m) / 2 + (x - x0_);
    if (left >= 0 && left + m <= PreviewWidth)
        dx_ = x - x0_;
    const int top = (PreviewHeight - n) / 2 + (y - y0_);
    if (top >= 0 && top + n <= PreviewHeight)
        dy_ = y - y0_;
}

void TSkinEditorGeometry::mouseUp()
{
    dragging_ = false;
}

int TSkinEditorGeometry::markWidth() const
{
    return floorOf(rectScale_ * kSkinWidth);
}

int TSkinEditorGeometry::markHeight() const
{
    return floorOf(rectScale_ * kSkinHeight);
}

QRect TSkinEditorGeometry::pictureRect() const
{
    const int d = floorOf(sw_ * zoom_);
    const int f = floorOf(sh_ * zoom_);
    return {(PreviewWidth - d) / 2, (PreviewHeight - f) / 2, d, f};
}

QRect TSkinEditorGeometry::markRect() const
{
    const int m = markWidth();
    const int n = markHeight();
    return {(PreviewWidth - m) / 2 + dx_, (PreviewHeight - n) / 2 + dy_, m, n};
}

QRect TSkinEditorGeometry::sourceRect() const
{
    // The rectangle's corner measured from the scaled picture's corner.
    const QPoint corner = markRect().topLeft() - pictureRect().topLeft();
    return {roundOf(corner.x() / zoom_), roundOf(corner.y() / zoom_), roundOf(rectScale_ * kSkinWidth / zoom_),
            roundOf(rectScale_ * kSkinHeight / zoom_)};
}

QImage drawPreview(const QImage &source, const TSkinEditorGeometry &geometry)
{
    QImage preview(PreviewWidth, PreviewHeight, QImage::Format_RGB32);
    preview.fill(Qt::black);
    QPainter painter(&preview);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(geometry.pictureRect(), source);
    painter.setPen(QColor::fromRgb(MarkColor));
    painter.setBrush(Qt::NoBrush);
    // The outline covers the rectangle's own pixels, right and bottom
    // exclusive.
    const QRect mark = geometry.markRect();
    painter.drawRect(mark.adjusted(0, 0, -1, -1));
    return preview;
}

QImage cropSkin(const QImage &source, const TSkinEditorGeometry &geometry)
{
    QImage skin(kSkinWidth, kSkinHeight, QImage::Format_RGB32);
    skin.fill(Qt::black);
    const QRect wanted = geometry.sourceRect();
    if (wanted.isEmpty())
        return skin;
    // Only the part of the rectangle that lies on the picture is copied; it
    // lands where it lies within the rectangle, the rest stays black.
    const QRect onPicture = wanted.intersected(source.rect());
    if (onPicture.isEmpty())
        return skin;
    const double scaleX = static_cast<double>(kSkinWidth) / wanted.width();
    const double scaleY = static_cast<double>(kSkinHeight) / wanted.height();
    const QRectF target((onPicture.x() - wanted.x()) * scaleX, (onPicture.y() - wanted.y()) * scaleY,
                        onPicture.width() * scaleX, onPicture.height() * scaleY);
    QPainter painter(&skin);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, source, QRectF(onPicture));
    return skin;
}
