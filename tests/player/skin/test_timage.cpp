#include "az_position_bar.h"
#include "skintestapp.h"
#include "timage.h"

#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QPixmap>

#include <tuple>
#include <vector>

namespace {

class ImageControl : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { ensureSkinTestApp(); }
};

TEST_F(ImageControl, ShowsThePictureTopLeftUnscaled)
{
    TImage image;
    image.resize(40, 30);
    QImage picture(20, 10, QImage::Format_RGB32);
    picture.fill(qRgb(200, 10, 10));
    picture.setPixel(19, 9, qRgb(10, 200, 10));
    image.setPicture(picture);
    EXPECT_EQ(image.sizeHint(), QSize(20, 10));
    const QImage shown = image.grab().toImage();
    EXPECT_EQ(shown.pixel(0, 0), qRgb(200, 10, 10));
    EXPECT_EQ(shown.pixel(19, 9), qRgb(10, 200, 10));
    // Painting into the picture and calling changed() shows the new pixels.
    image.picture().setPixel(0, 0, qRgb(1, 2, 3));
    image.changed();
    EXPECT_EQ(image.grab().toImage().pixel(0, 0), qRgb(1, 2, 3));
}

TEST_F(ImageControl, ForwardsMouseEventsInPictureCoordinates)
{
    TImage image;
    image.resize(100, 100);
    EXPECT_TRUE(image.hasMouseTracking());
    std::vector<std::tuple<char, int, int, int>> seen;
    QObject::connect(&image, &TImage::mouseDown,
                     [&](Qt::MouseButton b, Qt::KeyboardModifiers, int x, int y) {
                         seen.emplace_back('d', int(b), x, y);
                     });
    QObject::connect(&image, &TImage::mouseMove, [&](Qt::KeyboardModifiers m, int x, int y) {
        seen.emplace_back('m', int(m), x, y);
    });
    QObject::connect(&image, &TImage::mouseUp,
                     [&](Qt::MouseButton b, Qt::KeyboardModifiers, int x, int y) {
                         seen.emplace_back('u', int(b), x, y);
                     });
    const auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButton button,
                          Qt::MouseButtons buttons, Qt::KeyboardModifiers mods = {}) {
        QMouseEvent event(type, at, image.mapToGlobal(at), button, buttons, mods);
        QCoreApplication::sendEvent(&image, &event);
    };
    send(QEvent::MouseButtonPress, {10, 20}, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, {11, 21}, Qt::NoButton, Qt::LeftButton, Qt::ShiftModifier);
    send(QEvent::MouseButtonRelease, {12, 22}, Qt::RightButton, Qt::NoButton);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], std::make_tuple('d', int(Qt::LeftButton), 10, 20));
    EXPECT_EQ(seen[1], std::make_tuple('m', int(Qt::ShiftModifier), 11, 21));
    EXPECT_EQ(seen[2], std::make_tuple('u', int(Qt::RightButton), 12, 22));
}

TEST_F(ImageControl, BarsOnAnEmptyImageStillFollowTheMouse)
{
    TImage image;
    TImage grip;
    QImage g(27, 22, QImage::Format_RGB32);
    g.fill(Qt::black);
    grip.setPicture(g);
    std::vector<int> changes;
    TAzPositionBar bar(&image, &grip, [&](int v) { changes.push_back(v); }, false, 600, 47, 0,
                       0, 0, 100, 0);
    bar.MouseDown(Qt::LeftButton, {}, 300, 50);
    bar.MouseUp(Qt::LeftButton, {}, 300, 50);
    EXPECT_TRUE(image.picture().isNull());
    EXPECT_EQ(changes, std::vector<int>{50});
}

} // namespace
