#include "az_volume_bar.h"

#include "colorstrings.h"
#include "timage.h"

#include <utility>

TAzVolumeBar::TAzVolumeBar(TImage *image, TImage *grip, ChangeHandler onChange, bool immediate,
                           quint32 width, quint32 top, quint32 left, quint32 colour,
                           qint32 min, qint32 max, qint32 position,
                           TImage *backImage, TImage *overlayImage)
    : TAzPositionBar(image, grip, std::move(onChange), immediate, width, top, left, colour,
                     min, max, position, false)
    , BackImage(backImage)
    , OverlayImage(overlayImage)
{
    Paint();
}

void TAzVolumeBar::Paint()
{
    if (Image->picture().isNull())
        return;
    TCanvasState &canvas = Image->canvas();
    const TCanvasState saved = canvas;
    restoreBackground();
    canvas.penColor = toQColor(Colour);
    canvas.brushColor = canvas.penColor;
    canvas.brushSolid = false;
    const QRect bar(static_cast<int>(Left), static_cast<int>(Top), static_cast<int>(Width),
                    static_cast<int>(Height));
    drawTransparent(Image->picture(), bar, BackImage->picture(), BackImage->picture().rect());
    // The filled part reaches from the left end to one pixel short of the
    // grip's right edge.
    const int ow = gripX() + static_cast<int>(GripWidth) - 1;
    drawTransparent(Image->picture(), QRect(bar.left(), bar.top(), ow, bar.height()),
                    OverlayImage->picture(), QRect(0, 0, ow, OverlayImage->picture().height()));
    paintGrip();
    canvas = saved;
    Image->changed();
}
