// The skin editor on the real main window: saving a skin, previewing and
// cancelling, the equalizer storing the settings, the hot-key fields, and
// what the user is told when a picture or the program folder is unusable.

#include "dialogs.h"
#include "defaultskin.h"
#include "melodeck.h"
#include "options.h"
#include "replaygainchoice.h"
#include "tequalizer_form.h"
#include "timage.h"
#include "tskin_editor_form.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Far from the display fields, the bars and the spectrum.
const QPoint kPlainSpot(300, 240);

class SkinEditorWindowTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        TSkinSettings settings = TSkinSettings::defaults();
        settings.spectrumOn = false;
        writeSkin(settings);
        writeFilter();
        window_ = std::make_unique<Melodeck>(QStringList{});
        ASSERT_TRUE(window_->started());
        dialogs_ = createDialogs(*window_);
        window_->show();
        editor_ = dialogs_.skin_editor_form;
        editor_->show();
    }
    void TearDown() override
    {
        window_.reset();
        WindowFixture::TearDown();
    }

    QString writePicture(const QString &name, const QImage &image)
    {
        const QString path = home() + name;
        EXPECT_TRUE(saveSkinPicture(image, path));
        return path;
    }
    // A small red picture: stretched over the whole skin.
    QString redPicture()
    {
        QImage red(300, 130, QImage::Format_RGB32);
        red.fill(Qt::red);
        return writePicture(u"red.bmp"_s, red);
    }
    QStringList storedSettings() const
    {
        TStringListC lines;
        lines.LoadFromFile(home() + kSkinSettingsFileName);
        return lines;
    }
    QByteArray storedPictureBytes() const
    {
        QFile file(home() + kSkinPictureFileName);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    std::unique_ptr<Melodeck> window_;
    TDialogs dialogs_;
    Tskin_editor_form *editor_ = nullptr;
};

QImage pattern(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 5) & 0xFF, (y * 3) & 0xFF, (x + y) & 0xFF));
    return image;
}

} // namespace

TEST_F(SkinEditorWindowTest, SaveSkinStoresTheMarkedPartAsA24BitSkinWithTheChosenSettingsAndCloses)
{
    // Opening starts from the installed skin.
    EXPECT_EQ(editor_->bmppath->text(), home() + kSkinPictureFileName);
    const QImage source = pattern(kSkinWidth, kSkinHeight);
    editor_->bmppath->setText(writePicture(u"mine.bmp"_s, source));
    editor_->status_line_color->setCurrentText(u"clHighlight"_s);
    editor_->font_color->setCurrentText(u"clYellow"_s);
    editor_->vis_color->setCurrentText(u"clRed"_s);
    editor_->key_enabled->setChecked(true);
    QTest::keyRelease(editor_->next, Qt::Key_F5);
    editor_->Button3->click();

    EXPECT_FALSE(editor_->isVisible());
    EXPECT_EQ(storedPictureBytes().at(28), 24); // bits per pixel of the bitmap header
    QImage stored;
    ASSERT_TRUE(loadSkinPicture(home() + kSkinPictureFileName, stored));
    EXPECT_EQ(stored, source);
    const QStringList lines = storedSettings();
    ASSERT_EQ(lines.size(), kSkinSettingsLineCount);
    EXPECT_EQ(QStringList({lines.at(0), lines.at(1), lines.at(3), lines.at(9), lines.at(24)}),
              QStringList({u"clHighlight"_s, u"clYellow"_s, u"116"_s, u"1"_s, u"clRed"_s}));
    // Closing applied what was stored.
    EXPECT_EQ(window_->Image1->picture().pixel(kPlainSpot), source.pixel(kPlainSpot));
    EXPECT_EQ(window_->skinSettings().hotKeys[HotKey::Next], 116);
}

TEST_F(SkinEditorWindowTest, TheLevellingChoiceIsStoredBySaveSkinAndShownAgainOnOpening)
{
    TReplayGainChoice *choice = editor_->replay_gain;
    // Whole and readable, and clear of every other control of the window.
    EXPECT_LE(choice->caption()->sizeHint().width(), choice->caption()->width());
    EXPECT_LE(choice->box()->sizeHint().width(), choice->box()->width());
    EXPECT_TRUE(editor_->rect().contains(choice->geometry()));
    for (const QWidget *other : editor_->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        EXPECT_TRUE(other == choice || other->isWindow() || !other->geometry().intersects(choice->geometry()))
            << qPrintable(other->objectName());
    for (const ReplayGainMode mode : {ReplayGainMode::Album, ReplayGainMode::Track, ReplayGainMode::Off}) {
        editor_->show();
        choice->setMode(mode);
        editor_->Button3->click();
        EXPECT_EQ(storedSettings().value(SkinLine::ReplayGain), QString::number(static_cast<int>(mode)));
        EXPECT_EQ(window_->skinSettings().replayGain, mode);
        choice->setMode(mode == ReplayGainMode::Off ? ReplayGainMode::Album : ReplayGainMode::Off);
        editor_->show();
        EXPECT_EQ(choice->mode(), mode);
        editor_->Button4->click();
    }
}

TEST_F(SkinEditorWindowTest, CancelAfterPreviewRestoresTheStoredSkin)
{
    const QRgb storedColour = window_->Image1->picture().pixel(kPlainSpot);
    ASSERT_NE(storedColour, 0xFFFF0000u);
    const QByteArray storedBytes = storedPictureBytes();
    editor_->bmppath->setText(redPicture());
    editor_->Button2->click();
    EXPECT_EQ(window_->Image1->picture().pixel(kPlainSpot), 0xFFFF0000u);

    editor_->Button4->click();
    EXPECT_FALSE(editor_->isVisible());
    EXPECT_EQ(window_->Image1->picture().pixel(kPlainSpot), storedColour);
    EXPECT_EQ(storedPictureBytes(), storedBytes);
}

TEST_F(SkinEditorWindowTest, EqualizerAndAutoTagOpenModallyAndClosingTheEqualizerStoresTheSettings)
{
    auto *autotag = window_->findChild<QDialog *>(u"autotag_form"_s);
    ASSERT_NE(autotag, nullptr);
    bool autotagModal = false;
    QTimer::singleShot(0, autotag, [autotag, &autotagModal] {
        autotagModal = autotag->isVisible() && autotag->isModal();
        autotag->close();
    });
    editor_->Button8->click();
    EXPECT_TRUE(autotagModal);
    EXPECT_FALSE(autotag->isVisible());

    const QByteArray storedBytes = storedPictureBytes();
    editor_->bmppath->setText(redPicture());
    editor_->font_color->setCurrentText(u"clLime"_s);
    Tequalizer_form *equalizer = dialogs_.equalizer_form;
    // The equalizer is modal; it is moved and closed from inside its loop.
    QTimer::singleShot(0, equalizer, [equalizer] {
        equalizer->f1->setValue(3);
        equalizer->active->setChecked(true);
        equalizer->close();
    });
    editor_->Button9->click();

    EXPECT_TRUE(editor_->isVisible());
    const QStringList lines = storedSettings();
    ASSERT_EQ(lines.size(), kSkinSettingsLineCount);
    EXPECT_EQ(QStringList({lines.at(1), lines.at(16), lines.at(23)}), QStringList({u"clLime"_s, u"3"_s, u"1"_s}));
    EXPECT_EQ(storedPictureBytes(), storedBytes);
}

TEST_F(SkinEditorWindowTest, HotKeyFieldsNameTheReleasedKeyUnlessAModifierOrButtonIsHeld)
{
    struct Row
    {
        const char *what;
        int hotKey;
        Qt::Key qtKey;         // sent to the field as a real key release
        int virtualKey;        // else handed to the key-up handler
        Qt::KeyboardModifiers shift;
        Qt::MouseButtons buttons;
        const char16_t *shown;
        int code;              // -1: as before
    };
    const Row rows[] = {
        {"F5", HotKey::Next, Qt::Key_F5, 0, {}, {}, u"F5", 116},
        {"ctrl alone", HotKey::VolumeUp, Qt::Key_Control, 0, Qt::ControlModifier, {}, u"strg", 17},
        {"ctrl held", HotKey::Previous, Qt::Key_A, 0, Qt::ControlModifier, {}, u"", -1},
        {"= of a US layout", HotKey::Previous, Qt::Key_Equal, 0, {}, {}, u"+", 187},
        {"the pad's +", HotKey::VolumeDown, Qt::Key_Plus, 0, Qt::KeypadModifier, {}, u"UNKNOWN_KEY (107)", 107},
        {"a media key", HotKey::Next, Qt::Key_MediaNext, 0, {}, {}, u"UNKNOWN_KEY (176)", 176},
        {"unknown code", HotKey::PlayPause, Qt::Key_unknown, 255, {}, {}, u"UNKNOWN_KEY (255)", 255},
        {"mouse button held", HotKey::Stop, Qt::Key_unknown, 70, {}, Qt::LeftButton, u"", -1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        QLineEdit *edit = editor_->hotKeyEdits()[static_cast<std::size_t>(row.hotKey)];
        const int before = window_->hotKeys()[static_cast<std::size_t>(row.hotKey)];
        // Pressing the key empties the field first.
        edit->setText(u"old"_s);
        if (row.qtKey != Qt::Key_unknown) {
            // Only the key itself: the modifier stays held meanwhile.
            QKeyEvent press(QEvent::KeyPress, row.qtKey, row.shift);
            QApplication::sendEvent(edit, &press);
            EXPECT_TRUE(edit->text().isEmpty());
            QKeyEvent release(QEvent::KeyRelease, row.qtKey, row.shift);
            QApplication::sendEvent(edit, &release);
        } else if (row.hotKey == HotKey::PlayPause) {
            editor_->playKeyUp(row.virtualKey, row.shift, row.buttons);
        } else {
            editor_->stopKeyUp(row.virtualKey, row.shift, row.buttons);
        }
        EXPECT_EQ(edit->text(), QString::fromUtf16(row.shown));
        EXPECT_EQ(window_->hotKeys()[static_cast<std::size_t>(row.hotKey)], row.code < 0 ? before : row.code);
    }
}

TEST_F(SkinEditorWindowTest, AnUnreadablePictureOrAnUnwritableFolderIsReportedAndChangesNothing)
{
    const QImage shown = editor_->Image1->picture();
    const double rectScale = editor_->geometry().rectScale();
    editor_->bmppath->setText(touch(u"notes.bmp"_s));
    EXPECT_EQ(editor_->Image1->picture(), shown);
    EXPECT_EQ(editor_->geometry().rectScale(), rectScale);
    EXPECT_TRUE(editor_->Button3->isEnabled());
    EXPECT_EQ(logLines().filter(u"notes.bmp"_s).size(), 1);

    // Folders in the way of both files fail even a privileged writer.
    editor_->bmppath->setText(redPicture());
    for (const QString &name : {kSkinPictureFileName, kSkinSettingsFileName}) {
        ASSERT_TRUE(QFile::remove(home() + name));
        ASSERT_TRUE(QDir(home()).mkdir(name));
    }
    editor_->Button3->click();
    EXPECT_TRUE(editor_->isVisible());
    EXPECT_EQ(logLines().filter(kSkinPictureFileName).size(), 1);
    EXPECT_FALSE(editor_->saveSkinSettings());
    EXPECT_TRUE(editor_->isVisible());
    EXPECT_EQ(logLines().filter(kSkinSettingsFileName).size(), 1);
}
