#pragma once

// The volume control: the position bar's grip over a wedge, whose filled
// part is shown by an overlay picture.

#include "az_position_bar.h"

class TAzVolumeBar : public TAzPositionBar
{
public:
    TAzVolumeBar(TImage *image, TImage *grip, ChangeHandler onChange, bool immediate,
                 quint32 width, quint32 top, quint32 left, quint32 colour,
                 qint32 min, qint32 max, qint32 position,
                 TImage *backImage, TImage *overlayImage);

    void Paint() override;

protected:
    TImage *BackImage;
    TImage *OverlayImage;
};
