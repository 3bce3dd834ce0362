// Standard icons read on first use look exactly like those read at once.

#include "deferredicons.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <vector>

namespace {

// The icon drawn into a picture the way a button draws it.
QImage painted(const QIcon &icon, const QSize &size, QIcon::Mode mode)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    icon.paint(&painter, QRect(QPoint(0, 0), size), Qt::AlignCenter, mode);
    return image;
}

} // namespace

TEST(DeferredIconStyle, IconsDrawAsTheDesktopStylesOwn)
{
    const TDeferredIconStyle style;
    std::vector<QStyle::StandardPixmap> icons(style.deferredIcons.begin(), style.deferredIcons.end());
    icons.push_back(QStyle::SP_MessageBoxWarning); // one given at once
    for (const QStyle::StandardPixmap which : icons) {
        const QIcon deferred = style.standardIcon(which);
        const QIcon direct = style.baseStyle()->standardIcon(which);
        SCOPED_TRACE(static_cast<int>(which));
        // A deferred icon calls itself non-null before it is read.
        EXPECT_FALSE(direct.isNull());
        EXPECT_FALSE(deferred.isNull());
        EXPECT_EQ(deferred.availableSizes(), direct.availableSizes());
        for (const int side : {16, 22, 32, 128}) {
            const QSize size(side, side);
            for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled, QIcon::Active}) {
                SCOPED_TRACE(side * 10 + static_cast<int>(mode));
                EXPECT_EQ(deferred.actualSize(size, mode), direct.actualSize(size, mode));
                EXPECT_EQ(deferred.pixmap(size, mode).toImage(), direct.pixmap(size, mode).toImage());
                EXPECT_EQ(painted(deferred, size, mode), painted(direct, size, mode));
            }
        }
    }
}
