#pragma once

// Colour values as the skin settings keep them: 0x00BBGGRR (red in the low
// byte), or 0xFF000000 plus an index for a colour of the desktop theme.

#include <QColor>
#include <QString>
#include <QStringList>

namespace ColorValue {
constexpr quint32 SystemColorBase = 0xFF000000u;
constexpr quint32 None = 0x1FFFFFFFu;
constexpr quint32 Default = 0x20000000u;
} // namespace ColorValue

// A name of the colour table (any case), a decimal number or "$" followed by
// hexadecimal digits. *ok is false (and 0 returned) for anything else.
quint32 colorFromString(const QString &text, bool *ok = nullptr);
// The colour's name when it has one, else "$" and 8 upper-case hex digits.
QString colorToString(quint32 value);
// The colour to paint with. System colours come from the application
// palette; "none" is transparent and "default" the window text colour.
QColor toQColor(quint32 value);

// The names offered by the skin editor's colour boxes, in table order.
QStringList standardColorNames();  // the 16 standard colours
QStringList extendedColorNames();  // the 4 extended colours
QStringList systemColorNames();    // the desktop colours
