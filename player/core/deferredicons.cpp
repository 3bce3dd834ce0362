#include "deferredicons.h"

#include <QIconEngine>
#include <QPainter>
#include <QGuiApplication>

#include <algorithm>
#include <optional>

namespace {

// Stands for one standard icon of a style and reads it on first use. Only
// icons that depend on nothing but the style are deferred, so reading them
// later gives what reading them at once would have.
class TDeferredIconEngine : public QIconEngine
{
public:
    TDeferredIconEngine(const QStyle *style, QStyle::StandardPixmap which)
        : style_(style), which_(which)
    {
    }

    // Draws as the engine of the read icon does: its pixmap for the
    // rectangle, stretched to fill it.
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const QPaintDevice *device = painter->device();
        const qreal ratio = device ? device->devicePixelRatio() : qGuiApp->devicePixelRatio();
        painter->drawPixmap(rect, pixmap(rect.size() * ratio, mode, state));
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, 1.0, mode, state);
    }
    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        return icon().pixmap(size, scale, mode, state);
    }
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return icon().availableSizes(mode, state);
    }
    // Dialogs ask this of every icon as they lay themselves out; only icons
    // the desktop style is known to have are deferred (deferredIcons).
    bool isNull() override { return icon_ ? icon_->isNull() : false; }
    QString key() const override { return QStringLiteral("TDeferredIconEngine"); }
    QIconEngine *clone() const override { return new TDeferredIconEngine(*this); }

private:
    const QIcon &icon()
    {
        if (!icon_)
            icon_ = style_->standardIcon(which_);
        return *icon_;
    }

    const QStyle *style_;
    QStyle::StandardPixmap which_;
    std::optional<QIcon> icon_;
};

} // namespace

bool TDeferredIconStyle::deferred(StandardPixmap standardIcon)
{
    return std::find(deferredIcons.begin(), deferredIcons.end(), standardIcon) != deferredIcons.end();
}

TDeferredIconStyle::TDeferredIconStyle() = default;

QIcon TDeferredIconStyle::standardIcon(StandardPixmap standardIcon, const QStyleOption *option,
                                       const QWidget *widget) const
{
    // With an option the icon may depend on it (the layout direction), and
    // the option does not outlive the call.
    if (option || !deferred(standardIcon))
        return QProxyStyle::standardIcon(standardIcon, option, widget);
    return QIcon(new TDeferredIconEngine(baseStyle(), standardIcon));
}
