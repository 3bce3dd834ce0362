#include "compactstyle.h"

#include <algorithm>

namespace {
constexpr int kHeaderMargin = 1;
constexpr int kRadioLabelSpacing = 4;
} // namespace

TCompactStyle::TCompactStyle(QObject *parent)
{
    setParent(parent);
}

int TCompactStyle::pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const
{
    const int base = QProxyStyle::pixelMetric(metric, option, widget);
    switch (metric) {
    case PM_HeaderMargin:
        return std::min(base, kHeaderMargin);
    case PM_RadioButtonLabelSpacing:
        return std::min(base, kRadioLabelSpacing);
    default:
        return base;
    }
}
