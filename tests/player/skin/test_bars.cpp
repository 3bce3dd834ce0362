#include "az_position_bar.h"
#include "az_volume_bar.h"
#include "defaultskin.h"
#include "skintestapp.h"
#include "timage.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

constexpr quint32 kRed = 0x0000FF;

QImage pattern()
{
    QImage image(600, 260, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(0, (x + 2 * y) % 256, (3 * x + y) % 256));
    return image;
}

// A plain grip: black with white corners, so its place is easy to find.
QImage testGrip(int width, int height)
{
    QImage grip(width, height, QImage::Format_RGB32);
    grip.fill(qRgb(0, 0, 0));
    for (const QPoint corner : {QPoint(0, 0), QPoint(width - 1, 0), QPoint(0, height - 1),
                                QPoint(width - 1, height - 1)})
        grip.setPixel(corner, qRgb(255, 255, 255));
    return grip;
}

class Bars : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { ensureSkinTestApp(); }

    void SetUp() override
    {
        image.setPicture(pattern());
        image.setCursor(Qt::ArrowCursor);
        grip.setPicture(testGrip(27, 22));
        volGrip.setPicture(volDragPicture());
        volBack.setPicture(volBackPicture());
        volOverlay.setPicture(volOverlayPicture());
    }

    // The main window's position bar: left 0, top 47, 600 wide, not immediate.
    std::unique_ptr<TAzPositionBar> positionBar(qint32 min = 0, qint32 max = 100, qint32 pos = 0)
    {
        return std::make_unique<TAzPositionBar>(&image, &grip, recorder(), false, 600, 47, 0,
                                                kRed, min, max, pos);
    }

    // The main window's volume bar: left 550, top 13, 36 wide, immediate.
    std::unique_ptr<TAzVolumeBar> volumeBar(qint32 pos = 50)
    {
        return std::make_unique<TAzVolumeBar>(&image, &volGrip, recorder(), true, 36, 13, 550, 0,
                                              0, 100, pos, &volBack, &volOverlay);
    }

    TAzPositionBar::ChangeHandler recorder()
    {
        return [this](int value) { changes.push_back(value); };
    }

    // Column of the grip's left edge, found from its black pixels on row 58.
    int gripColumn() const
    {
        for (int x = 0; x < image.picture().width(); ++x)
            if (image.picture().pixel(x, 58) == qRgb(0, 0, 0))
                return x;
        return -1;
    }

    TImage image;
    TImage grip;
    TImage volGrip;
    TImage volBack;
    TImage volOverlay;
    std::vector<int> changes;
};

TEST_F(Bars, CreatingPaintsLineAndGrip)
{
    const QImage before = image.picture();
    auto bar = positionBar(0, 100, 0);
    const QImage &p = image.picture();
    // The 2 pixel line is centred in the 24 pixel bar: rows 58 and 59.
    EXPECT_EQ(p.pixel(300, 58), qRgb(255, 0, 0));
    EXPECT_EQ(p.pixel(300, 59), qRgb(255, 0, 0));
    EXPECT_EQ(p.pixel(599, 59), qRgb(255, 0, 0));
    EXPECT_EQ(p.pixel(300, 57), before.pixel(300, 57));
    EXPECT_EQ(p.pixel(300, 60), before.pixel(300, 60));
    // The grip at the left end, one row below the bar's top; its white
    // corners leave the picture as it was.
    EXPECT_EQ(gripColumn(), 0);
    EXPECT_EQ(p.pixel(1, 48), qRgb(0, 0, 0));
    EXPECT_EQ(p.pixel(0, 48), before.pixel(0, 48));
    EXPECT_EQ(p.pixel(26, 69), before.pixel(26, 69));
    EXPECT_EQ(p.pixel(13, 47), before.pixel(13, 47));
    EXPECT_EQ(p.pixel(13, 70), before.pixel(13, 70));
    EXPECT_EQ(bar->gripY(), 48);
    // Outside the bar nothing changed.
    for (int x = 0; x < 600; x += 37) {
        EXPECT_EQ(p.pixel(x, 46), before.pixel(x, 46));
        EXPECT_EQ(p.pixel(x, 71), before.pixel(x, 71));
    }
}

TEST_F(Bars, GripOffsetRoundsHalvesToEven)
{
    // Width 32 leaves 5 pixels of travel: half way is 2.5, which rounds to 2.
    TAzPositionBar even(&image, &grip, recorder(), false, 32, 47, 100, kRed, 0, 2, 1);
    EXPECT_EQ(even.gripX(), 2);
    // Width 34 leaves 7: 3.5 rounds to 4.
    TAzPositionBar odd(&image, &grip, recorder(), false, 34, 47, 200, kRed, 0, 2, 1);
    EXPECT_EQ(odd.gripX(), 4);
    auto bar = positionBar(0, 100, 100);
    // With Position = Max the grip's left edge is at Left + Width - GripWidth.
    EXPECT_EQ(bar->gripX(), 573);
    EXPECT_EQ(gripColumn(), 573);
    bar->setPosition(50);
    EXPECT_EQ(bar->gripX(), 286); // 286.5
    EXPECT_EQ(gripColumn(), 286);
}

TEST_F(Bars, RepaintingRestoresTheBackgroundFirst)
{
    auto bar = positionBar(0, 100, 0);
    const QImage atStart = image.picture();
    bar->setPosition(100);
    EXPECT_EQ(image.picture().pixel(5, 50), pattern().pixel(5, 50));
    bar->setPosition(0);
    EXPECT_EQ(image.picture(), atStart);
    bar->setMax(1000);
    EXPECT_EQ(bar->maximum(), 1000);
    EXPECT_EQ(image.picture(), atStart);
}

TEST_F(Bars, InsideTestCountsBothEnds)
{
    auto bar = positionBar();
    EXPECT_TRUE(bar->isInside(0, 47));
    EXPECT_TRUE(bar->isInside(600, 71)); // one right of and one below the rectangle
    EXPECT_FALSE(bar->isInside(601, 50));
    EXPECT_FALSE(bar->isInside(300, 72));
    EXPECT_FALSE(bar->isInside(300, 46));
    EXPECT_FALSE(bar->isInside(-1, 50));
    EXPECT_FALSE(bar->isInside(300, -5));
    EXPECT_FALSE(bar->isInside(-2147483647 - 1, -2147483647 - 1));
    auto vol = volumeBar();
    EXPECT_TRUE(vol->isInside(586, 35));
    EXPECT_FALSE(vol->isInside(549, 20));
    EXPECT_FALSE(vol->isInside(560, 36));
}

TEST_F(Bars, PressPositionsClampToTheEnds)
{
    auto bar = positionBar(0, 100, 50);
    // One pixel right of the rectangle still counts, and clamps to Max.
    bar->MouseDown(Qt::LeftButton, {}, 600, 50);
    EXPECT_EQ(bar->position(), 100);
    bar->MouseUp(Qt::LeftButton, {}, 600, 50);
    // At Left the grip centre would be half a grip left of the start.
    bar->MouseDown(Qt::LeftButton, {}, 0, 50);
    EXPECT_EQ(bar->position(), 0);
    bar->MouseUp(Qt::LeftButton, {}, 0, 50);
    // In between: (300 - 13) / 573 * 100 = 50.09.
    bar->MouseDown(Qt::LeftButton, {}, 300, 50);
    EXPECT_EQ(bar->position(), 50);
    EXPECT_EQ(bar->gripX(), 286);
    bar->MouseUp(Qt::LeftButton, {}, 300, 50);
    EXPECT_EQ(changes, (std::vector<int>{100, 0, 50}));
}

TEST_F(Bars, PressPositionRoundsHalvesToEven)
{
    // Travel 4 pixels; a press 2 pixels right of the grip centre's start
    // is half way.
    TAzPositionBar one(&image, &grip, recorder(), false, 31, 100, 0, kRed, 0, 1, 0);
    one.MouseDown(Qt::LeftButton, {}, 15, 105);
    EXPECT_EQ(one.position(), 0); // 0.5
    TAzPositionBar three(&image, &grip, recorder(), false, 31, 150, 0, kRed, 0, 3, 0);
    three.MouseDown(Qt::LeftButton, {}, 15, 155);
    EXPECT_EQ(three.position(), 2); // 1.5
    TAzPositionBar shifted(&image, &grip, recorder(), false, 31, 200, 0, kRed, 10, 13, 10);
    shifted.MouseDown(Qt::LeftButton, {}, 15, 205);
    EXPECT_EQ(shifted.position(), 12); // 11.5
}

TEST_F(Bars, PositionBarReportsOnlyOnRelease)
{
    auto bar = positionBar(0, 1000, 0);
    bar->MouseDown(Qt::LeftButton, {}, 100, 50);
    bar->MouseMove({}, 200, 50);
    bar->MouseMove({}, 300, 60);
    EXPECT_TRUE(changes.empty());
    EXPECT_TRUE(bar->dragging());
    const int value = bar->position();
    EXPECT_EQ(value, 501); // (300 - 13) / 573 * 1000 = 500.87
    bar->MouseUp(Qt::LeftButton, {}, 300, 60);
    EXPECT_EQ(changes, std::vector<int>{value});
    EXPECT_FALSE(bar->dragging());
}

TEST_F(Bars, ReleasingOutsideCancelsTheDrag)
{
    auto bar = positionBar(0, 100, 20);
    const QImage before = image.picture();
    bar->MouseDown(Qt::LeftButton, {}, 400, 50);
    bar->MouseMove({}, 500, 50);
    EXPECT_NE(bar->position(), 20);
    // Moving out keeps the value of the last point inside.
    const int last = bar->position();
    bar->MouseMove({}, 100, 200);
    EXPECT_EQ(bar->position(), last);
    bar->MouseUp(Qt::LeftButton, {}, 100, 200);
    EXPECT_EQ(bar->position(), 20);
    EXPECT_TRUE(changes.empty());
    EXPECT_EQ(image.picture(), before);
    EXPECT_FALSE(bar->dragging());
}

TEST_F(Bars, PressOutsideReleaseInsideSeeksToTheCurrentPosition)
{
    auto bar = positionBar(0, 100, 30);
    bar->MouseDown(Qt::LeftButton, {}, 300, 10);
    EXPECT_FALSE(bar->dragging());
    bar->MouseMove({}, 300, 50);
    EXPECT_EQ(bar->position(), 30);
    bar->MouseUp(Qt::LeftButton, {}, 300, 50);
    EXPECT_EQ(changes, std::vector<int>{30});
}

TEST_F(Bars, SetPositionIsIgnoredWhileDragging)
{
    auto bar = positionBar(0, 100, 0);
    bar->MouseDown(Qt::LeftButton, {}, 300, 50);
    const QImage dragged = image.picture();
    bar->setPosition(90); // a playback tick
    EXPECT_EQ(bar->position(), 50);
    EXPECT_EQ(image.picture(), dragged);
    bar->MouseUp(Qt::LeftButton, {}, 300, 50);
    bar->setPosition(90);
    EXPECT_EQ(bar->position(), 90);
}

TEST_F(Bars, BarWithoutRangeKeepsItsGripLeft)
{
    auto bar = positionBar(5, 5, 5);
    EXPECT_EQ(bar->gripX(), 0);
    EXPECT_EQ(gripColumn(), 0);
    bar->MouseDown(Qt::LeftButton, {}, 599, 50);
    EXPECT_EQ(bar->position(), 5);
    bar->MouseUp(Qt::LeftButton, {}, 599, 50);
    EXPECT_EQ(changes, std::vector<int>{5});
    // A bar no wider than its grip has no travel either.
    TAzPositionBar narrow(&image, &grip, recorder(), true, 27, 120, 0, kRed, 0, 10, 4);
    narrow.MouseDown(Qt::LeftButton, {}, 10, 125);
    EXPECT_EQ(narrow.position(), 0);
}

TEST_F(Bars, VolumeBarReportsEveryMoveAndNothingOnRelease)
{
    auto vol = volumeBar(50);
    vol->MouseMove({}, 560, 20); // not pressed: no change
    EXPECT_TRUE(changes.empty());
    vol->MouseDown(Qt::LeftButton, {}, 551, 20);
    vol->MouseMove({}, 560, 20);
    vol->MouseMove({}, 570, 20);
    vol->MouseMove({}, 700, 20); // outside: nothing
    ASSERT_EQ(changes.size(), 3u);
    // (x - 550 - 1) / 33 * 100
    EXPECT_EQ(changes[0], 0);
    EXPECT_EQ(changes[1], 27);
    EXPECT_EQ(changes[2], 58);
    vol->MouseUp(Qt::LeftButton, {}, 570, 20);
    EXPECT_EQ(changes.size(), 3u);
    // An immediate bar keeps its value when released outside.
    vol->MouseDown(Qt::LeftButton, {}, 580, 20);
    vol->MouseUp(Qt::LeftButton, {}, 700, 20);
    EXPECT_EQ(vol->position(), 88);
    EXPECT_EQ(changes.back(), 88);
}

TEST_F(Bars, VolumeOverlayFillsUpToTheGrip)
{
    auto vol = volumeBar(0);
    const QImage back = volBackPicture();
    const QImage overlay = volOverlayPicture();
    // Bar row 20 shows picture row 20 * 20 / 22 = 18 of the stretched wedge.
    const int column = 30;
    ASSERT_NE(back.pixel(column, 18), overlay.pixel(column, 18));
    EXPECT_EQ(image.picture().pixel(550 + column, 13 + 20), back.pixel(column, 18) | 0xFF000000u);
    vol->setPosition(100);
    EXPECT_EQ(vol->gripX(), 33);
    EXPECT_EQ(image.picture().pixel(550 + column, 13 + 20), overlay.pixel(column, 18) | 0xFF000000u);
    // The grip line itself is on top at its place (its dark column).
    EXPECT_EQ(image.picture().pixel(550 + 33 + 2, 13 + 1 + 5), qRgb(0, 0, 0));
    // Over the white ground of the wedge the skin shows through.
    ASSERT_EQ(back.pixel(2, 1) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(image.picture().pixel(552, 14), pattern().pixel(552, 14));
}

TEST_F(Bars, CursorTurnsToAHandOverABarAndBack)
{
    auto bar = positionBar();
    auto vol = volumeBar();
    image.setCursor(Qt::IBeamCursor);
    const auto move = [&](int x, int y) {
        bar->MouseMove({}, x, y);
        vol->MouseMove({}, x, y);
    };
    move(300, 50);
    EXPECT_EQ(image.cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(bar->savedCursor(), Qt::IBeamCursor);
    EXPECT_FALSE(vol->savedCursor().has_value());
    move(310, 52);
    EXPECT_EQ(bar->savedCursor(), Qt::IBeamCursor);
    // From one bar straight into the other.
    move(560, 20);
    EXPECT_EQ(image.cursor().shape(), Qt::PointingHandCursor);
    EXPECT_FALSE(bar->savedCursor().has_value());
    EXPECT_EQ(vol->savedCursor(), Qt::IBeamCursor);
    move(300, 200);
    EXPECT_EQ(image.cursor().shape(), Qt::IBeamCursor);
    EXPECT_FALSE(vol->savedCursor().has_value());
}

TEST_F(Bars, PaintPutsTheDrawingStateBack)
{
    TCanvasState &canvas = image.canvas();
    canvas.penColor = QColor(1, 2, 3);
    canvas.brushColor = QColor(4, 5, 6);
    canvas.brushSolid = false;
    auto bar = positionBar();
    auto vol = volumeBar();
    bar->setPosition(40);
    EXPECT_EQ(canvas.penColor, QColor(1, 2, 3));
    EXPECT_EQ(canvas.brushColor, QColor(4, 5, 6));
    EXPECT_FALSE(canvas.brushSolid);
}

TEST_F(Bars, DestroyingLeavesThePictureAndANewPictureIsUsed)
{
    auto bar = positionBar(0, 100, 50);
    const QImage painted = image.picture();
    bar.reset();
    EXPECT_EQ(image.picture(), painted);

    bar = positionBar(0, 100, 0);
    QImage fresh(600, 260, QImage::Format_RGB32);
    fresh.fill(qRgb(9, 9, 9));
    image.setPicture(fresh);
    bar->setPosition(100);
    EXPECT_EQ(image.picture().pixel(300, 58), qRgb(255, 0, 0));
    EXPECT_EQ(image.picture().pixel(300, 100), qRgb(9, 9, 9));
}

TEST(TransparentCopy, WhiteLeavesTheDestinationAndStretchPicksNearest)
{
    QImage dest(8, 4, QImage::Format_RGB32);
    dest.fill(qRgb(7, 7, 7));
    QImage src(2, 2, QImage::Format_RGB32);
    src.setPixel(0, 0, qRgb(255, 0, 0));
    src.setPixel(1, 0, qRgb(255, 255, 255));
    src.setPixel(0, 1, qRgb(0, 255, 0));
    src.setPixel(1, 1, qRgb(0, 0, 255));
    drawTransparent(dest, QRect(2, 0, 4, 4), src, src.rect());
    EXPECT_EQ(dest.pixel(1, 0), qRgb(7, 7, 7));
    EXPECT_EQ(dest.pixel(2, 0), qRgb(255, 0, 0));
    EXPECT_EQ(dest.pixel(3, 1), qRgb(255, 0, 0));
    EXPECT_EQ(dest.pixel(4, 0), qRgb(7, 7, 7)); // white: unchanged
    EXPECT_EQ(dest.pixel(5, 1), qRgb(7, 7, 7));
    EXPECT_EQ(dest.pixel(2, 2), qRgb(0, 255, 0));
    EXPECT_EQ(dest.pixel(5, 3), qRgb(0, 0, 255));
    EXPECT_EQ(dest.pixel(6, 3), qRgb(7, 7, 7));
    // Parts outside either picture are skipped, not read or written.
    drawTransparent(dest, QRect(-3, -3, 20, 20), src, QRect(0, 0, 5, 5));
    drawTransparent(dest, QRect(0, 0, 0, 4), src, src.rect());
    EXPECT_EQ(dest.size(), QSize(8, 4));
}

} // namespace
