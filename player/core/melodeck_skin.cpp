// The skin of the main window: loading it, the two bars drawn on it, and the
// after-playlist glyph button.

#include "az_position_bar.h"
#include "az_volume_bar.h"
#include "azvis.h"
#include "defaultskin.h"
#include "keyboardcontrol.h"
#include "melodeck.h"
#include "playback.h"
#include "timage.h"
#include "usermessages.h"

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {
const QString kSkinProblemTitle = u"Skin"_s;
const QString kSkinProblemText =
    u"The skin file %1 could not be used; Melodeck shows its built-in skin instead."_s;
const QString kSkinProblemJoin = u" and "_s;

constexpr int kPositionBarLeft = 0;
constexpr int kPositionBarTop = 47;
constexpr int kVolumeBarLeft = 550;
constexpr int kVolumeBarTop = 13;
constexpr quint32 kVolumeBarColour = 0x000000;
} // namespace

void Melodeck::loadSkin(bool redraw)
{
    // A dialog that outlived the window (closed after it) must not bring
    // back bars, timers and hot keys on it.
    if (closed_)
        return;
    // Both files come with the program. Whatever is missing or unreadable is
    // replaced by the built-in skin, and the user hears about it once.
    QStringList unusable;
    const QString picturePath = programDir() + kSkinPictureFileName;
    QImage picture;
    if (!loadSkinPicture(picturePath, picture)) {
        picture = defaultSkinPicture();
        unusable.append(picturePath);
    }
    Image1->setPicture(picture);

    const QString settingsPath = programDir() + kSkinSettingsFileName;
    TSkinSettings settings;
    if (!TSkinSettings::loadFromFile(settingsPath, settings))
        unusable.append(settingsPath);

    createBars(redraw, settings.barColor);
    display_.initDisplay(Image1, settings.fontColor);
    skin_ = settings;
    keyboard_->switchHotKeys(skin_.hotKeysOn);
    // The new picture came without texts; the fields show the song again.
    if (redraw)
        showSongInfo(false);
    spectrum_->initSpectrum(TAzVis::kLeft, TAzVis::kTop, TAzVis::kWidth, TAzVis::kHeight, Image1);
    if (skin_.spectrumOn)
        azVisTimer.start();
    Image1->changed();

    if (!unusable.isEmpty())
        showMessage(this, QMessageBox::Warning, kSkinProblemTitle,
                    kSkinProblemText.arg(unusable.join(kSkinProblemJoin)));
}

void Melodeck::createBars(bool keep, quint32 colour)
{
    qint32 minimum = 0;
    qint32 maximum = 100;
    qint32 position = 0;
    if (keep && positionBar_) {
        minimum = positionBar_->minimum();
        maximum = positionBar_->maximum();
        position = positionBar_->position();
    }
    positionBar_.reset();
    positionBar_ = std::make_unique<TAzPositionBar>(
        Image1, grip_image, [this](int milliseconds) { seekTo(milliseconds); }, false,
        static_cast<quint32>(Image1->width()), kPositionBarTop, kPositionBarLeft, colour, minimum, maximum,
        position);

    volumeBar_.reset();
    // A failed query reports a negative volume; the bar cannot show that.
    const float volume = engine_.getVolume();
    const qint32 start = (volume > 1.0f || volume < 0.0f) ? 0 : static_cast<qint32>(std::lround(volume * 100.0f));
    volumeBar_ = std::make_unique<TAzVolumeBar>(
        Image1, vol_drag, [this](int percent) { setVolume(percent); }, true,
        static_cast<quint32>(vol_back->width()), kVolumeBarTop, kVolumeBarLeft, kVolumeBarColour, 0, 100, start,
        vol_back, vol_overlay);
    Image1->changed();
}

void Melodeck::skinApplied(const QImage &image, quint32 barColour, quint32 textColour, quint32 spectrumColour,
                           bool spectrumOn)
{
    Image1->setPicture(image);
    createBars(true, barColour);
    display_.initDisplay(Image1, textColour);
    showSongInfo(false);
    skin_.spectrumColor = spectrumColour;
    if (spectrumOn)
        azVisTimer.start();
    else
        spectrum_->clearSpectrum(true);
    Image1->changed();
}

void Melodeck::setVolume(int percent)
{
    playback_->setVolume(percent);
    mediaStateChanged();
}

void Melodeck::seekTo(int milliseconds)
{
    playback_->seekTo(milliseconds);
    mediaPositionJumped();
}

void Melodeck::Image1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)
{
    if (positionBar_)
        positionBar_->MouseDown(button, shift, x, y);
    if (volumeBar_)
        volumeBar_->MouseDown(button, shift, x, y);
    Image1->changed();
}

void Melodeck::Image1MouseMove(Qt::KeyboardModifiers shift, int x, int y)
{
    if (positionBar_)
        positionBar_->MouseMove(shift, x, y);
    if (volumeBar_)
        volumeBar_->MouseMove(shift, x, y);
    Image1->changed();
}

void Melodeck::Image1MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)
{
    if (positionBar_)
        positionBar_->MouseUp(button, shift, x, y);
    if (volumeBar_)
        volumeBar_->MouseUp(button, shift, x, y);
    Image1->changed();
}

void Melodeck::button_after_playlistClick()
{
    menu_after_playlist->exec(QCursor::pos());
    QCoreApplication::processEvents();
    showAfterPlaylistGlyph();
}

void Melodeck::after_playlist_stopClick()
{
    after_playlist_stop->setChecked(true);
    after_playlist_repeat->setChecked(false);
    after_playlist_shutdown->setChecked(false);
}

void Melodeck::after_playlist_repeatClick()
{
    after_playlist_stop->setChecked(false);
    after_playlist_repeat->setChecked(true);
    after_playlist_shutdown->setChecked(false);
}

void Melodeck::after_playlist_shutdownClick()
{
    after_playlist_stop->setChecked(false);
    after_playlist_repeat->setChecked(false);
    after_playlist_shutdown->setChecked(true);
}

void Melodeck::showAfterPlaylistGlyph()
{
    const TImage *glyph = nullptr;
    if (after_playlist_stop->isChecked())
        glyph = glyph_1;
    else if (after_playlist_repeat->isChecked())
        glyph = glyph_infinite;
    else if (after_playlist_shutdown->isChecked())
        glyph = glyph_shutdown;
    if (!glyph)
        return;
    const QPixmap pixmap = QPixmap::fromImage(whiteToTransparent(glyph->picture()));
    button_after_playlist->setIcon(QIcon(pixmap));
    button_after_playlist->setIconSize(pixmap.size());
}
