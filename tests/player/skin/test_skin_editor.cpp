// The skin editor's picture work without its window: the rectangle's size
// buttons, dragging it, and cutting the skin out of the source picture.

#include "defaultskin.h"
#include "skin_editor.h"
#include "skintestapp.h"

#include <QColor>
#include <QImage>

#include <functional>

namespace {

constexpr double kFullWidth = 289.0 / 600.0;

QImage filled(int width, int height, QRgb colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// Every pixel differs from its neighbours, so any shift or scaling shows.
QImage pattern(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 7) & 0xFF, (y * 13) & 0xFF, (x * y) & 0xFF));
    return image;
}

// Four quadrants in four colours.
QImage quadrants(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, x < width / 2 ? (y < height / 2 ? 0xFFFF0000 : 0xFF00FF00)
                                               : (y < height / 2 ? 0xFF0000FF : 0xFFFFFF00));
    return image;
}

} // namespace

TEST(SkinEditorGeometry, SizeButtonsKeepTheRectangleInsideThePreviewAndAboveNothing)
{
    struct Row
    {
        const char *what;
        QSize source;
        std::function<void(TSkinEditorGeometry &)> act;
        double rectScale;
    };
    const Row rows[] = {
        {"small source spans the width", {300, 130}, [](TSkinEditorGeometry &) {}, kFullWidth},
        {"+ at full width stays at full width", {300, 130}, [](TSkinEditorGeometry &g) { g.grow(); },
         kFullWidth},
        {"big source covers a skin's worth", {1200, 520}, [](TSkinEditorGeometry &) {}, 289.0 / 1200.0},
        {"+ grows by a step", {1200, 520}, [](TSkinEditorGeometry &g) { g.grow(); }, 289.0 / 1200.0 + 0.01},
        {"+ past the width resets to it", {1200, 520},
         [](TSkinEditorGeometry &g) {
             for (int i = 0; i < 25; ++i)
                 g.grow();
         },
         kFullWidth},
        {"- shrinks by a step", {300, 130}, [](TSkinEditorGeometry &g) { g.shrink(); }, kFullWidth - 0.01},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        TSkinEditorGeometry g;
        g.pictureLoaded(row.source.width(), row.source.height());
        row.act(g);
        EXPECT_NEAR(g.rectScale(), row.rectScale, 1e-9);
        EXPECT_LE(g.markRect().right(), SkinEditor::PreviewWidth - 1);
    }

    // However often "-" is pressed, the rectangle keeps a size above zero.
    TSkinEditorGeometry g;
    g.pictureLoaded(300, 130);
    for (int i = 0; i < 200; ++i)
        g.shrink();
    EXPECT_GT(g.rectScale(), 0.0);
    EXPECT_LE(g.rectScale(), 0.01);
}

TEST(SkinEditorGeometry, DraggingMovesTheRectangleOnlyWhileItStaysInThePreview)
{
    // A 1200 x 520 source: the picture fills the preview's width (289 x 125
    // at top 46), the rectangle is 144 x 62 and centred at (72, 77).
    struct Row
    {
        const char *what;
        QPoint from;
        QPoint to;
        QPoint offset;
    };
    const Row rows[] = {
        {"inside", {100, 100}, {130, 80}, {30, -20}},
        {"to the right edge", {100, 100}, {173, 100}, {73, 0}},
        {"one past the right edge keeps x", {100, 100}, {174, 110}, {0, 10}},
        {"past the top keeps y", {100, 100}, {90, 22}, {-10, 0}},
        {"to the top edge", {100, 100}, {100, 23}, {0, -77}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        TSkinEditorGeometry g;
        g.pictureLoaded(1200, 520);
        ASSERT_EQ(g.markRect(), QRect(72, 77, 144, 62));
        g.mouseDown(row.from.x(), row.from.y());
        g.mouseMove(row.to.x(), row.to.y());
        g.mouseUp();
        g.mouseMove(0, 0); // no longer dragging
        EXPECT_EQ(QPoint(g.dx(), g.dy()), row.offset);
        EXPECT_TRUE(QRect(0, 0, SkinEditor::PreviewWidth, SkinEditor::PreviewHeight).contains(g.markRect()));
    }
}

TEST(SkinEditorGeometry, CropSkinCutsTheMarkedPartToASkinAndBlackensWhatLiesOutside)
{
    // A 600 x 260 source comes out unchanged.
    {
        const QImage source = pattern(kSkinWidth, kSkinHeight);
        TSkinEditorGeometry g;
        g.pictureLoaded(source.width(), source.height());
        EXPECT_EQ(g.sourceRect(), source.rect());
        EXPECT_EQ(cropSkin(source, g), source);
    }
    // A 300 x 130 source is stretched over the whole skin.
    {
        const QImage source = quadrants(300, 130);
        TSkinEditorGeometry g;
        g.pictureLoaded(source.width(), source.height());
        const QImage skin = cropSkin(source, g);
        ASSERT_EQ(skin.size(), QSize(kSkinWidth, kSkinHeight));
        for (const QPoint &p : {QPoint(2, 2), QPoint(297, 127), QPoint(302, 2), QPoint(2, 132), QPoint(597, 257)})
            EXPECT_EQ(skin.pixel(p), source.pixel(p / 2)) << p.x() << "," << p.y();
    }
    // A rectangle moved to the right edge and then grown reaches past the
    // source: that strip is black, the rest is the source.
    {
        const QImage source = filled(1200, 520, 0xFFFFFFFF);
        TSkinEditorGeometry g;
        g.pictureLoaded(source.width(), source.height());
        g.mouseDown(100, 100);
        g.mouseMove(173, 100);
        g.mouseUp();
        g.grow();
        EXPECT_GT(g.sourceRect().right(), source.width() - 1);
        const QImage skin = cropSkin(source, g);
        EXPECT_EQ(skin.pixel(599, 130), 0xFF000000u);
        EXPECT_EQ(skin.pixel(570, 130), 0xFFFFFFFFu);
        EXPECT_EQ(skin.pixel(0, 0), 0xFFFFFFFFu);
    }
}

TEST(SkinEditorGeometry, ThePreviewShowsTheScaledSourceAndTheLimeRectangle)
{
    const QImage source = filled(1200, 520, 0xFFFFFFFF);
    TSkinEditorGeometry g;
    g.pictureLoaded(source.width(), source.height());
    const QImage preview = drawPreview(source, g);
    ASSERT_EQ(preview.size(), QSize(SkinEditor::PreviewWidth, SkinEditor::PreviewHeight));
    const QRect mark = g.markRect();
    EXPECT_EQ(preview.pixel(mark.topLeft()), SkinEditor::MarkColor);
    EXPECT_EQ(preview.pixel(mark.bottomRight()), SkinEditor::MarkColor);
    EXPECT_EQ(preview.pixel(mark.center()), 0xFFFFFFFFu);
    // Above and below the scaled picture the preview stays black.
    EXPECT_EQ(preview.pixel(10, 10), 0xFF000000u);
    EXPECT_EQ(preview.pixel(10, 200), 0xFF000000u);
}
