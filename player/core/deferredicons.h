#pragma once

// The desktop style, except that its standard icons are read when first
// drawn rather than when asked for. Every file dialog asks for a dozen of
// them as it is built, each read from several pictures, though most dialogs
// are never opened; the program builds its dialogs before its window shows.

#include <QProxyStyle>

class TDeferredIconStyle : public QProxyStyle
{
public:
    TDeferredIconStyle();

    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption *option = nullptr,
                       const QWidget *widget = nullptr) const override;
};
