#pragma once

// The skin built into the program: used when "skin.bmp" or "skin.azo" is
// missing or unusable, and the source of the shipped "skin.bmp". Also the
// fixed pictures of the main window, which are no part of any skin.

#include "skinsettings.h"

#include <QImage>
#include <QString>

// The pictures are drawn on demand; drawing the skin needs a running
// QGuiApplication for its fonts.

constexpr int kSkinWidth = 600;
constexpr int kSkinHeight = 260;

QImage defaultSkinPicture();
TSkinSettings defaultSkinSettings();

QImage gripPicture();          // 27 x 22
QImage volBackPicture();       // 36 x 20
QImage volOverlayPicture();    // 36 x 20
QImage volDragPicture();       // 3 x 20
QImage glyph1Picture();        // 21 x 11, stop after the playlist
QImage glyphInfinitePicture(); // 21 x 11, repeat the playlist
QImage glyphShutdownPicture(); // 21 x 11, power off

// The picture with its white pixels made fully transparent, for showing a
// white-keyed picture (a glyph) on a widget that knows alpha instead.
QImage whiteToTransparent(const QImage &picture);

// Loads a skin picture file. False, with `out` untouched, when the file is
// missing or not a readable picture.
bool loadSkinPicture(const QString &path, QImage &out);
// Writes a picture as a 24-bit Windows bitmap.
bool saveSkinPicture(const QImage &picture, const QString &path);
