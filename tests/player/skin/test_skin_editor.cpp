// The skin editor's picture work without its window: the rectangle's size
// buttons, dragging it, the preview, and cutting the skin out of the source.

#include "defaultskin.h"
#include "skin_editor.h"
#include "skintestapp.h"

#include <QImage>

namespace {

constexpr double kFullWidth = 289.0 / 600.0;

TSkinEditorGeometry loaded(int width, int height, int grows = 0, int shrinks = 0)
{
    TSkinEditorGeometry g;
    g.pictureLoaded(width, height);
    for (int i = 0; i < grows; ++i)
        g.grow();
    for (int i = 0; i < shrinks; ++i)
        g.shrink();
    return g;
}

} // namespace

TEST(SkinEditorGeometry, SizeButtonsKeepTheRectangleInsideThePreviewAndAboveNothing)
{
    struct Row
    {
        const char *what;
        QSize source;
        int grows;
        int shrinks;
        double rectScale;
    };
    const Row rows[] = {
        {"small source spans the width", {300, 130}, 0, 0, kFullWidth},
        {"+ at full width stays at full width", {300, 130}, 1, 0, kFullWidth},
        {"big source covers a skin's worth", {1200, 520}, 0, 0, 289.0 / 1200.0},
        {"+ grows by a step", {1200, 520}, 1, 0, 289.0 / 1200.0 + 0.01},
        {"+ past the width resets to it", {1200, 520}, 25, 0, kFullWidth},
        {"- shrinks by a step", {300, 130}, 0, 1, kFullWidth - 0.01},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        const TSkinEditorGeometry g = loaded(row.source.width(), row.source.height(), row.grows, row.shrinks);
        EXPECT_NEAR(g.rectScale(), row.rectScale, 1e-9);
    }
    // However often "-" is pressed, the rectangle keeps a size above zero.
    const TSkinEditorGeometry g = loaded(300, 130, 0, 200);
    EXPECT_GT(g.rectScale(), 0.0);
    EXPECT_LE(g.rectScale(), 0.01);
}

TEST(SkinEditorGeometry, DraggingMovesTheLimeRectangleOnlyWhileItStaysInThePreview)
{
    // A 1200 x 520 source: the picture fills the preview's width (289 x 125
    // at top 46), the rectangle is 144 x 62 and centred at (72, 77).
    struct Row
    {
        const char *what;
        QPoint to; // from (100, 100)
        QPoint offset;
    };
    const Row rows[] = {
        {"inside", {130, 80}, {30, -20}},
        {"to the right edge", {173, 100}, {73, 0}},
        {"one past the right edge keeps x", {174, 110}, {0, 10}},
        {"past the top keeps y", {90, 22}, {-10, 0}},
        {"to the top edge", {100, 23}, {0, -77}},
    };
    QImage white(1200, 520, QImage::Format_RGB32);
    white.fill(Qt::white);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        TSkinEditorGeometry g = loaded(1200, 520);
        ASSERT_EQ(g.markRect(), QRect(72, 77, 144, 62));
        g.mouseDown(100, 100);
        g.mouseMove(row.to.x(), row.to.y());
        g.mouseUp();
        g.mouseMove(0, 0); // no longer dragging
        EXPECT_EQ(QPoint(g.dx(), g.dy()), row.offset);
        const QImage preview = drawPreview(white, g);
        EXPECT_EQ(preview.pixel(g.markRect().topLeft()), SkinEditor::MarkColor);
        EXPECT_EQ(preview.pixel(g.markRect().bottomRight()), SkinEditor::MarkColor);
        EXPECT_EQ(preview.pixel(10, 10), 0xFF000000u); // above the picture
    }
}

TEST(SkinEditorGeometry, CropSkinStretchesTheMarkedPartAndBlackensWhatLiesOutsideTheSource)
{
    // A 300 x 130 source in four colours is stretched over the whole skin.
    QImage small(300, 130, QImage::Format_RGB32);
    for (int y = 0; y < small.height(); ++y)
        for (int x = 0; x < small.width(); ++x)
            small.setPixel(x, y, x < 150 ? (y < 65 ? 0xFFFF0000 : 0xFF00FF00) : (y < 65 ? 0xFF0000FF : 0xFFFFFF00));
    const QImage stretched = cropSkin(small, loaded(300, 130));
    ASSERT_EQ(stretched.size(), QSize(kSkinWidth, kSkinHeight));
    for (const QPoint &p : {QPoint(2, 2), QPoint(297, 127), QPoint(302, 2), QPoint(2, 132), QPoint(597, 257)})
        EXPECT_EQ(stretched.pixel(p), small.pixel(p / 2)) << p.x() << "," << p.y();

    // A rectangle moved to the right edge and then grown reaches past the
    // source: that strip is black, the rest is the source.
    QImage white(1200, 520, QImage::Format_RGB32);
    white.fill(Qt::white);
    TSkinEditorGeometry g = loaded(1200, 520);
    g.mouseDown(100, 100);
    g.mouseMove(173, 100);
    g.grow();
    EXPECT_GT(g.sourceRect().right(), white.width() - 1);
    const QImage skin = cropSkin(white, g);
    EXPECT_EQ(skin.pixel(599, 130), 0xFF000000u);
    EXPECT_EQ(skin.pixel(570, 130), 0xFFFFFFFFu);
    EXPECT_EQ(skin.pixel(0, 0), 0xFFFFFFFFu);
}
