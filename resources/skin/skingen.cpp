// Writes the default skin picture as a 24-bit bitmap, and with --pictures
// also the fixed pictures of the main window as PNG files for a look.

#include "defaultskin.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {
constexpr const char *kUsage = "usage: melodeck_skingen <skin.bmp> [--pictures <dir>]\n";
constexpr const char *kCannotWrite = "melodeck_skingen: cannot write %s\n";
} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() < 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (!saveSkinPicture(defaultSkinPicture(), args.at(1))) {
        std::fprintf(stderr, kCannotWrite, qPrintable(args.at(1)));
        return 1;
    }
    if (args.size() >= 4 && args.at(2) == u"--pictures"_s) {
        const QDir dir(args.at(3));
        const struct
        {
            const char16_t *name;
            QImage picture;
        } pictures[] = {
            {u"skin.png", defaultSkinPicture()},
            {u"grip_image.png", gripPicture()},
            {u"vol_back.png", volBackPicture()},
            {u"vol_overlay.png", volOverlayPicture()},
            {u"vol_drag.png", volDragPicture()},
            {u"glyph_1.png", glyph1Picture()},
            {u"glyph_infinite.png", glyphInfinitePicture()},
            {u"glyph_shutdown.png", glyphShutdownPicture()},
        };
        for (const auto &entry : pictures) {
            const QString path = dir.filePath(QString::fromUtf16(entry.name));
            if (!entry.picture.save(path)) {
                std::fprintf(stderr, kCannotWrite, qPrintable(path));
                return 1;
            }
        }
    }
    return 0;
}
