#include "defaultskin.h"
#include "skinsettings.h"
#include "skintestapp.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

using namespace Qt::StringLiterals;

namespace {

bool isWhite(QRgb pixel)
{
    return (pixel & 0xFFFFFF) == 0xFFFFFF;
}

int inkCount(const QImage &picture)
{
    int count = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            count += !isWhite(picture.pixel(x, y));
    return count;
}

QString binDir()
{
    const QString fromEnvironment = qEnvironmentVariable("MELODECK_BIN_DIR");
    return fromEnvironment.isEmpty() ? QStringLiteral(SKIN_TEST_BIN_DIR) : fromEnvironment;
}

class DefaultSkin : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { ensureSkinTestApp(); }
};

TEST_F(DefaultSkin, PicturesHaveTheirSizes)
{
    EXPECT_EQ(defaultSkinPicture().size(), QSize(600, 260));
    EXPECT_EQ(gripPicture().size(), QSize(27, 22));
    EXPECT_EQ(volBackPicture().size(), QSize(36, 20));
    EXPECT_EQ(volOverlayPicture().size(), QSize(36, 20));
    EXPECT_EQ(volDragPicture().size(), QSize(3, 20));
    for (const QImage &g : {glyph1Picture(), glyphInfinitePicture(), glyphShutdownPicture()})
        EXPECT_EQ(g.size(), QSize(21, 11));
}

TEST_F(DefaultSkin, GripIsARoundedButtonWithWhiteCorners)
{
    const QImage grip = gripPicture();
    for (const QPoint corner : {QPoint(0, 0), QPoint(26, 0), QPoint(0, 21), QPoint(26, 21)})
        EXPECT_TRUE(isWhite(grip.pixel(corner)));
    // The body, its edges and the double line in the middle are solid.
    for (const QPoint inside : {QPoint(13, 0), QPoint(0, 11), QPoint(26, 11), QPoint(13, 21),
                                QPoint(5, 5), QPoint(20, 16)})
        EXPECT_FALSE(isWhite(grip.pixel(inside))) << inside.x() << "," << inside.y();
    EXPECT_LT(qGray(grip.pixel(12, 10)), 40);
    EXPECT_LT(qGray(grip.pixel(14, 10)), 40);
    EXPECT_GT(qGray(grip.pixel(13, 10)), 100);
}

TEST_F(DefaultSkin, VolumeWedgesShareTheirShape)
{
    const QImage back = volBackPicture();
    const QImage overlay = volOverlayPicture();
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 36; ++x)
            ASSERT_EQ(isWhite(back.pixel(x, y)), isWhite(overlay.pixel(x, y))) << x << "," << y;
    // Rising from the bottom left to full height at the right.
    EXPECT_TRUE(isWhite(back.pixel(0, 0)));
    EXPECT_TRUE(isWhite(back.pixel(5, 10)));
    EXPECT_FALSE(isWhite(back.pixel(35, 0)));
    EXPECT_FALSE(isWhite(back.pixel(35, 19)));
    EXPECT_FALSE(isWhite(back.pixel(18, 18)));
    // The overlay is the paler one.
    EXPECT_GT(qGray(overlay.pixel(30, 15)), qGray(back.pixel(30, 15)) + 40);
}

TEST_F(DefaultSkin, VolumeGripIsALineOverTheWholeHeight)
{
    const QImage drag = volDragPicture();
    for (int y = 0; y < 20; ++y)
        EXPECT_FALSE(isWhite(drag.pixel(2, y))) << y;
    EXPECT_FALSE(isWhite(drag.pixel(1, 10)));
    EXPECT_TRUE(isWhite(drag.pixel(1, 0)));
}

TEST_F(DefaultSkin, GlyphsAreDistinctAndInked)
{
    const QImage one = glyph1Picture();
    const QImage infinite = glyphInfinitePicture();
    const QImage shutdown = glyphShutdownPicture();
    for (const QImage *g : {&one, &infinite, &shutdown}) {
        EXPECT_GT(inkCount(*g), 12);
        // White ground around the symbol lets the button's face show.
        EXPECT_TRUE(isWhite(g->pixel(0, 0)));
    }
    EXPECT_NE(one, infinite);
    EXPECT_NE(infinite, shutdown);
    EXPECT_NE(one, shutdown);
}

TEST_F(DefaultSkin, WhiteBecomesTransparentForWidgets)
{
    const QImage glyph = glyphShutdownPicture();
    const QImage shown = whiteToTransparent(glyph);
    ASSERT_EQ(shown.size(), glyph.size());
    for (int y = 0; y < glyph.height(); ++y) {
        for (int x = 0; x < glyph.width(); ++x) {
            if (isWhite(glyph.pixel(x, y)))
                EXPECT_EQ(qAlpha(shown.pixel(x, y)), 0);
            else
                EXPECT_EQ(shown.pixel(x, y), glyph.pixel(x, y) | 0xFF000000u);
        }
    }
}

TEST_F(DefaultSkin, SkinLeavesNoWhiteWhereTheBarsPaint)
{
    // The bars and fields paint over this picture; a stray white would not
    // break anything but shows a light speck through the white-keyed grips.
    const QImage skin = defaultSkinPicture();
    int white = 0;
    for (int y = 0; y < 260; ++y)
        for (int x = 0; x < 600; ++x)
            white += isWhite(skin.pixel(x, y));
    EXPECT_EQ(white, 0);
    // The picture is the same each time it is drawn.
    EXPECT_EQ(skin, defaultSkinPicture());
}

TEST_F(DefaultSkin, PicturesSaveAndLoadAsBitmaps)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(kSkinPictureFileName);
    ASSERT_TRUE(saveSkinPicture(defaultSkinPicture(), path));
    QImage loaded;
    ASSERT_TRUE(loadSkinPicture(path, loaded));
    EXPECT_EQ(loaded, defaultSkinPicture());
}

TEST_F(DefaultSkin, UnusablePicturesAreReportedAndLeaveTheOldOne)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage out(2, 2, QImage::Format_RGB32);
    out.fill(qRgb(1, 2, 3));
    const QImage before = out;

    EXPECT_FALSE(loadSkinPicture(dir.filePath(u"missing.bmp"_s), out));

    const QString garbage = dir.filePath(u"garbage.bmp"_s);
    QFile g(garbage);
    ASSERT_TRUE(g.open(QIODevice::WriteOnly));
    g.write(QByteArray(300, 'x'));
    g.close();
    EXPECT_FALSE(loadSkinPicture(garbage, out));

    // A picture of another format under the bitmap's name is no bitmap.
    const QString png = dir.filePath(u"png.bmp"_s);
    ASSERT_TRUE(defaultSkinPicture().save(png, "PNG"));
    EXPECT_FALSE(loadSkinPicture(png, out));

    // A bitmap cut off after its headers.
    const QString full = dir.filePath(u"full.bmp"_s);
    ASSERT_TRUE(saveSkinPicture(defaultSkinPicture(), full));
    QFile f(full);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray head = f.read(60);
    f.close();
    const QString cut = dir.filePath(u"cut.bmp"_s);
    QFile c(cut);
    ASSERT_TRUE(c.open(QIODevice::WriteOnly));
    c.write(head);
    c.close();
    EXPECT_FALSE(loadSkinPicture(cut, out));

    const QString empty = dir.filePath(u"empty.bmp"_s);
    QFile e(empty);
    ASSERT_TRUE(e.open(QIODevice::WriteOnly));
    e.close();
    EXPECT_FALSE(loadSkinPicture(empty, out));
    EXPECT_EQ(out, before);
}

TEST_F(DefaultSkin, ShippedBitmapIsTheBuiltInSkinIn24Bits)
{
    ASSERT_FALSE(binDir().isEmpty());
    QFile file(binDir() + u"/"_s + kSkinPictureFileName);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
    const QByteArray data = file.readAll();
    ASSERT_GE(data.size(), 54);
    EXPECT_EQ(data.left(2), QByteArrayLiteral("BM"));
    const auto u32 = [&data](int at) { return qFromLittleEndian<qint32>(data.constData() + at); };
    const auto u16 = [&data](int at) { return qFromLittleEndian<quint16>(data.constData() + at); };
    EXPECT_EQ(u32(18), 600);
    EXPECT_EQ(std::abs(u32(22)), 260);
    EXPECT_EQ(u16(28), 24);
    // Rows of 600 * 3 bytes need no padding.
    EXPECT_GE(data.size(), 54 + 600 * 3 * 260);
    QImage loaded;
    ASSERT_TRUE(loadSkinPicture(file.fileName(), loaded));
    EXPECT_EQ(loaded, defaultSkinPicture());
}

TEST_F(DefaultSkin, ShippedSettingsAreTheBuiltInDefaults)
{
    ASSERT_FALSE(binDir().isEmpty());
    const QString path = binDir() + u"/"_s + kSkinSettingsFileName;
    ASSERT_TRUE(QFile::exists(path)) << path.toStdString();
    TSkinSettings shipped;
    EXPECT_TRUE(TSkinSettings::loadFromFile(path, shipped));
    EXPECT_EQ(shipped, defaultSkinSettings());
}

} // namespace
