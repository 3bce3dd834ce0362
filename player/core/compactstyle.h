#pragma once

// The desktop style with narrower label margins, for controls whose fixed
// width leaves their caption little room: the grid's column headers (a
// column of 95 pixels must hold "Archive Filename" and its sort mark) and
// radio buttons that end where the next one begins.

#include <QProxyStyle>

class TCompactStyle : public QProxyStyle
{
    Q_OBJECT

public:
    explicit TCompactStyle(QObject *parent = nullptr);

    int pixelMetric(PixelMetric metric, const QStyleOption *option = nullptr,
                    const QWidget *widget = nullptr) const override;
};
