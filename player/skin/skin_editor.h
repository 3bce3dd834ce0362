#pragma once

// The skin editor's picture work, apart from its window: where the source
// picture stands in the preview, the rectangle that marks the part to become
// the skin, and cutting that part out as a 600 by 260 skin picture.

#include <QImage>
#include <QRect>
#include <QRectF>

namespace SkinEditor {
// The preview the source picture is shown in.
constexpr int PreviewWidth = 289;
constexpr int PreviewHeight = 217;
// The outline of the marking rectangle.
constexpr QRgb MarkColor = 0xFF00FF00;
// How much "+" and "-" change the rectangle's scale.
constexpr double ScaleStep = 0.01;
} // namespace SkinEditor

// Zoom, rectangle size and rectangle offset. All positions are preview
// pixels; the rectangle stands centred in the preview, moved by the offset.
class TSkinEditorGeometry
{
public:
    // A source picture of sw by sh pixels was loaded: the zoom and the
    // rectangle's size start anew. A big picture gets a rectangle that covers
    // exactly a skin's worth of its pixels; a small one a rectangle as wide
    // as the preview, so that it is stretched up. The offset stays.
    void pictureLoaded(int sourceWidth, int sourceHeight);

    // "+": one step bigger, or back to the preview's width once the next
    // step would no longer fit.
    void grow();
    // "-": one step smaller while that stays above nothing.
    void shrink();

    // Dragging the rectangle: the offset follows the mouse from where the
    // drag began, in each direction only while the rectangle stays inside
    // the preview.
    void mouseDown(int x, int y);
    void mouseMove(int x, int y);
    void mouseUp();
    bool dragging() const { return dragging_; }

    double zoom() const { return zoom_; }
    double rectScale() const { return rectScale_; }
    int dx() const { return dx_; }
    int dy() const { return dy_; }
    QSize sourceSize() const { return {sw_, sh_}; }

    // Where the scaled source picture stands in the preview.
    QRect pictureRect() const;
    // The marking rectangle in the preview.
    QRect markRect() const;
    // The part of the source picture that becomes the skin, in source
    // pixels; it may reach outside the picture.
    QRect sourceRect() const;

private:
    int markWidth() const;
    int markHeight() const;

    int sw_ = 0;
    int sh_ = 0;
    double zoom_ = 1.0;
    double rectScale_ = 1.0;
    int dx_ = 0;
    int dy_ = 0;
    int x0_ = 0;
    int y0_ = 0;
    bool dragging_ = false;
};

// The preview picture: black, the whole source scaled into pictureRect(), and
// the marking rectangle's outline.
QImage drawPreview(const QImage &source, const TSkinEditorGeometry &geometry);

// The skin picture, 600 by 260: the source's part under the rectangle,
// stretched to fill it. What lies outside the source comes out black.
QImage cropSkin(const QImage &source, const TSkinEditorGeometry &geometry);
