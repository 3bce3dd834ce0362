#pragma once

// The five text fields over the skin picture. Each field keeps the piece of
// the picture under it, so a new text never leaves the old one behind.

#include <QImage>
#include <QRect>
#include <QString>

#include <array>

class TImage;

namespace DisplayField {
extern const QString Nr;        // "nr"
extern const QString Interpret; // "interpret"
extern const QString Title;     // "title"
extern const QString Album;     // "album"
extern const QString Time;      // "time"
} // namespace DisplayField

// The face every display field is drawn in.
extern const QString kDisplayFontFamily; // "Times New Roman"

class TSkinDisplay
{
public:
    struct Field
    {
        QString name;
        QRect background;  // right and bottom exclusive, as QRect's width/height
        int pointSize;
        int textX;         // for the centred fields: the left end of the span
        int textY;
        int centreSpan;    // 0 = not centred
    };

    TSkinDisplay() = default;

    void initDisplay(TImage *image, quint32 fontColor);
    // An unknown name draws nothing; an empty text clears the field.
    void drawField(const QString &fieldName, const QString &text);
    static QString formatTime(quint32 seconds);

    // The field table, in the order "nr", "interpret", "title", "album", "time".
    static const std::array<Field, 5> &fields();
    // The font a field is drawn in (the point size measured at 96 DPI, so the
    // pixel layout matches the field rectangles on any screen).
    static QFont fieldFont(int pointSize);
    // Where drawField puts the top-left corner of a text in a field.
    static QPoint textPosition(const Field &field, const QString &text);

private:
    TImage *image_ = nullptr;
    std::array<QImage, 5> backgrounds_;
};

// The user-interface font of the windows: a sans face with Arial's metrics
// at the pixel size of 8 points on a 96-dpi screen.
QFont uiFont();
