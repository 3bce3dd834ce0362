#include "colorstrings.h"

#include <QGuiApplication>
#include <QPalette>

#include <optional>

namespace {

struct NamedColor
{
    const char16_t *name;
    quint32 value;
};

constexpr quint32 sys(quint32 index)
{
    return ColorValue::SystemColorBase + index;
}

// Writing picks the first entry with the value, so the table order decides
// the name of a value that has two.
constexpr NamedColor kStandardColors[] = {
    {u"clBlack", 0x000000},  {u"clMaroon", 0x000080}, {u"clGreen", 0x008000},
    {u"clOlive", 0x008080},  {u"clNavy", 0x800000},   {u"clPurple", 0x800080},
    {u"clTeal", 0x808000},   {u"clGray", 0x808080},   {u"clSilver", 0xC0C0C0},
    {u"clRed", 0x0000FF},    {u"clLime", 0x00FF00},   {u"clYellow", 0x00FFFF},
    {u"clBlue", 0xFF0000},   {u"clFuchsia", 0xFF00FF}, {u"clAqua", 0xFFFF00},
    {u"clWhite", 0xFFFFFF},
};

constexpr NamedColor kExtendedColors[] = {
    {u"clMoneyGreen", 0xC0DCC0}, {u"clSkyBlue", 0xF0CAA6},
    {u"clCream", 0xF0FBFF},      {u"clMedGray", 0xA4A0A0},
};

constexpr NamedColor kSystemColors[] = {
    {u"clScrollBar", sys(0)},        {u"clBackground", sys(1)},
    {u"clActiveCaption", sys(2)},    {u"clInactiveCaption", sys(3)},
    {u"clMenu", sys(4)},             {u"clWindow", sys(5)},
    {u"clWindowFrame", sys(6)},      {u"clMenuText", sys(7)},
    {u"clWindowText", sys(8)},       {u"clCaptionText", sys(9)},
    {u"clActiveBorder", sys(10)},    {u"clInactiveBorder", sys(11)},
    {u"clAppWorkSpace", sys(12)},    {u"clHighlight", sys(13)},
    {u"clHighlightText", sys(14)},   {u"clBtnFace", sys(15)},
    {u"clBtnShadow", sys(16)},       {u"clGrayText", sys(17)},
    {u"clBtnText", sys(18)},         {u"clInactiveCaptionText", sys(19)},
    {u"clBtnHighlight", sys(20)},    {u"cl3DDkShadow", sys(21)},
    {u"cl3DLight", sys(22)},         {u"clInfoText", sys(23)},
    {u"clInfoBk", sys(24)},          {u"clHotLight", sys(26)},
    {u"clGradientActiveCaption", sys(27)}, {u"clGradientInactiveCaption", sys(28)},
    {u"clMenuHighlight", sys(29)},   {u"clMenuBar", sys(30)},
};

constexpr NamedColor kSpecialColors[] = {
    {u"clNone", ColorValue::None},
    {u"clDefault", ColorValue::Default},
};

template <typename Visit>
void forEachColor(Visit visit)
{
    for (const NamedColor &c : kStandardColors)
        visit(c);
    for (const NamedColor &c : kExtendedColors)
        visit(c);
    for (const NamedColor &c : kSystemColors)
        visit(c);
    for (const NamedColor &c : kSpecialColors)
        visit(c);
}

template <std::size_t N>
QStringList namesOf(const NamedColor (&table)[N])
{
    QStringList names;
    names.reserve(static_cast<qsizetype>(N));
    for (const NamedColor &c : table)
        names.append(QString::fromUtf16(c.name));
    return names;
}

// A number as the settings may hold it: optional sign, decimal digits or "$"
// and hex digits. The value is taken as 32 bits, so negative decimals name
// the system colours.
std::optional<quint32> parseNumber(const QString &text)
{
    QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    bool negative = false;
    if (t.front() == u'-' || t.front() == u'+') {
        negative = t.front() == u'-';
        t.remove(0, 1);
    }
    bool ok = false;
    qulonglong magnitude = 0;
    if (t.startsWith(u'$')) {
        const QString digits = t.mid(1);
        if (digits.isEmpty() || digits.front() == u'-' || digits.front() == u'+')
            return std::nullopt;
        magnitude = digits.toULongLong(&ok, 16);
    } else {
        if (t.isEmpty() || !t.front().isDigit())
            return std::nullopt;
        magnitude = t.toULongLong(&ok, 10);
    }
    if (!ok || magnitude > 0xFFFFFFFFull)
        return std::nullopt;
    if (negative) {
        if (magnitude > 0x80000000ull)
            return std::nullopt;
        return static_cast<quint32>(0x100000000ull - magnitude);
    }
    return static_cast<quint32>(magnitude);
}

// The desktop colours as the Qt palette knows them; elements without a
// counterpart take the nearest role.
QColor systemColor(quint32 index)
{
    const QPalette palette = QGuiApplication::palette();
    const auto role = [&palette](QPalette::ColorGroup group, QPalette::ColorRole r) {
        return palette.color(group, r);
    };
    constexpr auto A = QPalette::Active;
    constexpr auto I = QPalette::Inactive;
    constexpr auto D = QPalette::Disabled;
    switch (index) {
    case 0: return role(A, QPalette::Button);           // scroll bar
    case 1: return role(A, QPalette::Window);           // desktop background
    case 2: return role(A, QPalette::Highlight);        // active caption
    case 3: return role(I, QPalette::Button);           // inactive caption
    case 4: return role(A, QPalette::Window);           // menu
    case 5: return role(A, QPalette::Base);             // window
    case 6: return role(A, QPalette::Shadow);           // window frame
    case 7: return role(A, QPalette::WindowText);       // menu text
    case 8: return role(A, QPalette::Text);             // window text
    case 9: return role(A, QPalette::HighlightedText);  // caption text
    case 10: return role(A, QPalette::Button);          // active border
    case 11: return role(I, QPalette::Button);          // inactive border
    case 12: return role(A, QPalette::Dark);            // application work space
    case 13: return role(A, QPalette::Highlight);
    case 14: return role(A, QPalette::HighlightedText);
    case 15: return role(A, QPalette::Button);          // button face
    case 16: return role(A, QPalette::Dark);            // button shadow
    case 17: return role(D, QPalette::Text);            // grey text
    case 18: return role(A, QPalette::ButtonText);
    case 19: return role(I, QPalette::WindowText);      // inactive caption text
    case 20: return role(A, QPalette::Light);           // button highlight
    case 21: return role(A, QPalette::Shadow);          // 3-D dark shadow
    case 22: return role(A, QPalette::Midlight);        // 3-D light
    case 23: return role(A, QPalette::ToolTipText);
    case 24: return role(A, QPalette::ToolTipBase);
    case 26: return role(A, QPalette::Link);            // hot light
    case 27: return role(A, QPalette::Highlight);       // gradient active caption
    case 28: return role(I, QPalette::Button);          // gradient inactive caption
    case 29: return role(A, QPalette::Highlight);       // menu highlight
    case 30: return role(A, QPalette::Window);          // menu bar
    default: return role(A, QPalette::Window);
    }
}

} // namespace

quint32 colorFromString(const QString &text, bool *ok)
{
    std::optional<quint32> found;
    forEachColor([&](const NamedColor &c) {
        if (!found && text.compare(QString::fromUtf16(c.name), Qt::CaseInsensitive) == 0)
            found = c.value;
    });
    if (!found)
        found = parseNumber(text);
    if (ok != nullptr)
        *ok = found.has_value();
    return found.value_or(0);
}

QString colorToString(quint32 value)
{
    std::optional<QString> name;
    forEachColor([&](const NamedColor &c) {
        if (!name && c.value == value)
            name = QString::fromUtf16(c.name);
    });
    if (name)
        return *name;
    return QStringLiteral("$") + QStringLiteral("%1").arg(value, 8, 16, QChar(u'0')).toUpper();
}

QColor toQColor(quint32 value)
{
    if (value == ColorValue::None)
        return QColor(Qt::transparent);
    if (value == ColorValue::Default)
        return systemColor(8);
    if ((value & 0xFF000000u) == ColorValue::SystemColorBase)
        return systemColor(value & 0x00FFFFFFu);
    // Any other high byte is not a colour of ours; only the RGB bytes count.
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

QStringList standardColorNames()
{
    return namesOf(kStandardColors);
}

QStringList extendedColorNames()
{
    return namesOf(kExtendedColors);
}

QStringList systemColorNames()
{
    return namesOf(kSystemColors);
}
