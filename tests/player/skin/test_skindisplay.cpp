#include "skindisplay.h"
#include "skintestapp.h"
#include "timage.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>

using namespace Qt::StringLiterals;

namespace {

// Every pixel different from its neighbours and free of red, so that red
// text and restored pieces can be told apart exactly.
QImage pattern()
{
    QImage image(600, 260, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(0, (x * 3 + y) % 200, (y * 5 + x * 7) % 200));
    return image;
}

// The bounding box of the pixels that differ between two pictures.
QRect changedArea(const QImage &a, const QImage &b)
{
    QRect area;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                area |= QRect(x, y, 1, 1);
    return area;
}

const TSkinDisplay::Field &field(const QString &name)
{
    for (const auto &f : TSkinDisplay::fields())
        if (f.name == name)
            return f;
    ADD_FAILURE() << "no field " << name.toStdString();
    return TSkinDisplay::fields().front();
}

class SkinDisplay : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { ensureSkinTestApp(); }

    void SetUp() override
    {
        image.setPicture(pattern());
        display.initDisplay(&image, 0x0000FF); // red
    }

    // Paints the whole picture in one colour, as other texts would have.
    void scribble(QRgb colour = qRgb(250, 250, 0)) { image.picture().fill(colour); }

    TImage image;
    TSkinDisplay display;
};

TEST(FormatTime, HoursMinutesAndSeconds)
{
    EXPECT_EQ(TSkinDisplay::formatTime(0), u"00:00"_s);
    EXPECT_EQ(TSkinDisplay::formatTime(59), u"00:59"_s);
    EXPECT_EQ(TSkinDisplay::formatTime(75), u"01:15"_s);
    EXPECT_EQ(TSkinDisplay::formatTime(3599), u"59:59"_s);
    EXPECT_EQ(TSkinDisplay::formatTime(3600), u"01:00:00"_s);
    EXPECT_EQ(TSkinDisplay::formatTime(3725), u"01:02:05"_s);
    EXPECT_EQ(TSkinDisplay::formatTime(35999), u"09:59:59"_s);
    EXPECT_EQ(TSkinDisplay::formatTime(36000), u"10:00:00"_s);
    EXPECT_EQ(TSkinDisplay::formatTime(360000), u"100:00:00"_s);
    EXPECT_EQ(TSkinDisplay::formatTime(4294967295u), u"1193046:28:15"_s);
}

TEST_F(SkinDisplay, FieldTableMatchesTheSkinLayout)
{
    EXPECT_EQ(field(DisplayField::Nr).background, QRect(QPoint(0, 11), QPoint(127, 39)));
    EXPECT_EQ(field(DisplayField::Interpret).background, QRect(QPoint(8, 77), QPoint(599, 100)));
    EXPECT_EQ(field(DisplayField::Title).background, QRect(QPoint(8, 101), QPoint(599, 123)));
    EXPECT_EQ(field(DisplayField::Album).background, QRect(QPoint(8, 124), QPoint(599, 143)));
    EXPECT_EQ(field(DisplayField::Time).background, QRect(QPoint(138, 13), QPoint(373, 41)));
}

TEST_F(SkinDisplay, FontIsTimesAtNinetySixDpiPixelSizes)
{
    EXPECT_EQ(image.canvas().font.family(), kDisplayFontFamily);
    EXPECT_EQ(image.canvas().font.pixelSize(), 21);
    EXPECT_EQ(image.canvas().fontColor, QColor(255, 0, 0));
    EXPECT_EQ(TSkinDisplay::fieldFont(12).pixelSize(), 16);
    display.drawField(DisplayField::Album, u"x"_s);
    EXPECT_EQ(image.canvas().font.pixelSize(), 16);
    // Whatever face fontconfig picks for the name, it must be a real one.
    EXPECT_FALSE(QFontInfo(TSkinDisplay::fieldFont(16)).family().isEmpty());
}

TEST_F(SkinDisplay, EmptyTextRestoresExactlyTheFieldRectangle)
{
    for (const auto &f : TSkinDisplay::fields()) {
        scribble();
        display.drawField(f.name, QString());
        const QImage &now = image.picture();
        const QImage original = pattern();
        for (int y = 0; y < now.height(); ++y) {
            for (int x = 0; x < now.width(); ++x) {
                const bool inside = f.background.contains(x, y);
                const QRgb expected = inside ? original.pixel(x, y) : qRgb(250, 250, 0);
                ASSERT_EQ(now.pixel(x, y), expected)
                    << f.name.toStdString() << " at " << x << "," << y;
            }
        }
    }
}

TEST_F(SkinDisplay, NewTextReplacesTheOldOne)
{
    display.drawField(DisplayField::Time, u"59:59/59:59"_s);
    display.drawField(DisplayField::Time, u"00:01"_s);
    QImage clean = pattern();
    TImage other;
    other.setPicture(clean);
    TSkinDisplay second;
    second.initDisplay(&other, 0x0000FF);
    second.drawField(DisplayField::Time, u"00:01"_s);
    EXPECT_EQ(image.picture(), other.picture());
    // An empty text leaves the field as the skin drew it.
    display.drawField(DisplayField::Time, QString());
    EXPECT_EQ(image.picture(), pattern());
}

TEST_F(SkinDisplay, TextSitsAtItsPosition)
{
    for (const auto &f : TSkinDisplay::fields()) {
        image.setPicture(pattern());
        display.drawField(f.name, u"Hg"_s);
        const QRect ink = changedArea(pattern(), image.picture());
        ASSERT_FALSE(ink.isEmpty()) << f.name.toStdString();
        const QFont font = TSkinDisplay::fieldFont(f.pointSize);
        const QFontMetrics metrics(font);
        const QPoint at = TSkinDisplay::textPosition(f, u"Hg"_s);
        // The glyphs' ink as the font reports it, placed with the text cell's
        // top at the text position.
        const QRect expected = metrics.tightBoundingRect(u"Hg"_s).translated(at.x(), at.y() + metrics.ascent());
        EXPECT_NEAR(ink.left(), expected.left(), 2) << f.name.toStdString();
        EXPECT_NEAR(ink.top(), expected.top(), 2) << f.name.toStdString();
        EXPECT_NEAR(ink.bottom(), expected.bottom(), 2) << f.name.toStdString();
        // The ink stays inside the text cell.
        EXPECT_GE(ink.top(), at.y());
        EXPECT_LE(ink.bottom(), at.y() + metrics.height());
    }
    EXPECT_EQ(TSkinDisplay::textPosition(field(DisplayField::Title), u"x"_s), QPoint(11, 99));
    EXPECT_EQ(TSkinDisplay::textPosition(field(DisplayField::Interpret), u"x"_s), QPoint(11, 80));
    EXPECT_EQ(TSkinDisplay::textPosition(field(DisplayField::Album), u"x"_s), QPoint(11, 122));
}

TEST_F(SkinDisplay, TextIsDrawnInTheFontColour)
{
    display.drawField(DisplayField::Title, u"IIII"_s);
    int exact = 0;
    for (int y = 99; y < 124; ++y)
        for (int x = 11; x < 60; ++x)
            exact += image.picture().pixel(x, y) == qRgb(255, 0, 0);
    // The stems of a 21 pixel face are fully covered somewhere.
    EXPECT_GT(exact, 10);
}

TEST_F(SkinDisplay, NrAndTimeAreCentred)
{
    const QFontMetrics metrics(TSkinDisplay::fieldFont(16));
    for (const QString &text : {u"#1"_s, u"#12345"_s, u"03:25/04:10"_s}) {
        const int w = metrics.horizontalAdvance(text);
        EXPECT_EQ(TSkinDisplay::textPosition(field(DisplayField::Nr), text),
                  QPoint((129 - w) / 2, 13));
        EXPECT_EQ(TSkinDisplay::textPosition(field(DisplayField::Time), text),
                  QPoint(138 + (236 - w) / 2, 13));

        // The ink is centred within a pixel or two of the span's middle.
        image.setPicture(pattern());
        display.drawField(DisplayField::Time, text);
        const QRect ink = changedArea(pattern(), image.picture());
        const QRect box = metrics.tightBoundingRect(text);
        const double inkCentre = (ink.left() + ink.right() + 1) / 2.0;
        const double expected = 138 + (236 - w) / 2 + (box.left() + box.right() + 1) / 2.0;
        EXPECT_NEAR(inkCentre, expected, 2.0) << text.toStdString();
    }
}

TEST_F(SkinDisplay, WideTextStartsLeftOfTheField)
{
    const QString wide = u"#WWWWWWWWWWWWW"_s;
    const int w = QFontMetrics(TSkinDisplay::fieldFont(16)).horizontalAdvance(wide);
    ASSERT_GT(w, 129);
    const QPoint at = TSkinDisplay::textPosition(field(DisplayField::Nr), wide);
    // Truncating division: an odd overshoot does not round away from zero.
    EXPECT_EQ(at.x(), -((w - 129) / 2));
    EXPECT_LT(at.x(), 0);
    display.drawField(DisplayField::Nr, wide);
    const QRect ink = changedArea(pattern(), image.picture());
    EXPECT_EQ(ink.left(), 0);
    // Not clipped to the field: the text runs on over the time field.
    EXPECT_GT(ink.right(), 128);
}

TEST_F(SkinDisplay, UnknownNamesDrawAndRestoreNothing)
{
    scribble();
    const QImage before = image.picture();
    for (const QString &name : {u"Title"_s, u"TIME"_s, u""_s, u"title "_s, u"artist"_s})
        display.drawField(name, u"text"_s);
    EXPECT_EQ(image.picture(), before);
}

TEST_F(SkinDisplay, BackgroundsComeFromTheLatestInit)
{
    // The backgrounds are what the picture held at initDisplay, not later.
    scribble(qRgb(10, 20, 30));
    display.drawField(DisplayField::Album, QString());
    EXPECT_EQ(image.picture().pixel(300, 130), pattern().pixel(300, 130));

    scribble(qRgb(10, 20, 30));
    display.initDisplay(&image, 0xFFFFFF);
    scribble(qRgb(99, 99, 99));
    display.drawField(DisplayField::Album, QString());
    EXPECT_EQ(image.picture().pixel(300, 130), qRgb(10, 20, 30));
    EXPECT_EQ(image.canvas().fontColor, QColor(255, 255, 255));
}

TEST_F(SkinDisplay, SmallPictureDoesNotBreakTheFields)
{
    // A user's skin may be smaller than the layout; nothing outside it exists.
    QImage small(100, 30, QImage::Format_RGB32);
    small.fill(qRgb(1, 2, 3));
    image.setPicture(small);
    display.initDisplay(&image, 0x0000FF);
    display.drawField(DisplayField::Title, u"far below"_s);
    display.drawField(DisplayField::Nr, u"#3"_s);
    EXPECT_EQ(image.picture().size(), QSize(100, 30));
    display.drawField(DisplayField::Nr, QString());
    EXPECT_EQ(image.picture().pixel(50, 20), qRgb(1, 2, 3));
}

TEST(SkinDisplayWithoutImage, DrawingBeforeInitIsHarmless)
{
    TSkinDisplay display;
    display.drawField(DisplayField::Nr, u"#1"_s);
    SUCCEED();
}

TEST(UiFont, EightPointSans)
{
    ensureSkinTestApp();
    // 8 points on a 96-dpi screen, in pixels, so that the fixed places of
    // the windows hold their captions on any screen.
    EXPECT_EQ(uiFont().pixelSize(), 11);
    EXPECT_EQ(uiFont().families().value(0), u"Liberation Sans"_s);
}

} // namespace
