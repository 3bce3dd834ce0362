// Which keys of an X keyboard give a virtual-key code: the symbols each code
// stands for, and which key, by its symbols and place, gives the code.

#include "keystate_x11.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

// The X headers define macros such as None and Bool; they come last.
#include <X11/XF86keysym.h>
#include <X11/keysym.h>

namespace {

TEST(X11KeySymbols, EveryCodeStandsForTheSymbolsOfItsKeys)
{
    const struct
    {
        int code;
        std::vector<unsigned long> symbols;
    } rows[] = {
        {44, {XK_Print}},
        {93, {XK_Menu}},
        {145, {XK_Scroll_Lock}},
        {124, {XK_F13}},
        {135, {XK_F24}},
        {97, {XK_KP_1}},
        {107, {XK_KP_Add}},
        {110, {XK_KP_Decimal, XK_KP_Separator}},
        {173, {XF86XK_AudioMute}},
        {176, {XF86XK_AudioNext}},
        {179, {XF86XK_AudioPlay, XF86XK_AudioPause}},
        {183, {XF86XK_Calculator}},
        {186, {XK_udiaeresis, XK_semicolon}},
        {187, {XK_plus, XK_equal}},
        {191, {XK_numbersign, XK_slash}},
        {192, {XK_odiaeresis, XK_grave}},
        {219, {XK_ssharp, XK_bracketleft}},
        {220, {XK_asciicircum, XK_dead_circumflex, XK_backslash}},
        {221, {XK_acute, XK_dead_acute, XK_bracketright}},
        {222, {XK_adiaeresis, XK_apostrophe}},
        {226, {XK_less}},
        {0, {}},
        {255, {}},
    };
    for (const auto &row : rows)
        EXPECT_EQ(TX11Keyboard::keySymbols(row.code), row.symbols) << row.code;
}

TEST(X11KeySymbols, AKeyGivesACodeByItsSymbolsAndPunctuationByItsUnshiftedOneOrItsPlace)
{
    const struct
    {
        const char *what;
        int code;
        int keyCode;
        std::vector<unsigned long> levels; // unshifted first
        bool gives;
    } rows[] = {
        {"German ^ dead key", 220, 49, {XK_dead_circumflex, XK_degree}, true},
        {"US backslash", 220, 51, {XK_backslash, XK_bar}, true},
        {"US 6 gives ^ only shifted", 220, 15, {XK_6, XK_asciicircum}, false},
        {"US =", 187, 21, {XK_equal, XK_plus}, true},
        {"German 0 gives = only shifted", 187, 19, {XK_0, XK_equal}, false},
        {"German 7 gives / only shifted", 191, 16, {XK_7, XK_slash}, false},
        {"French u grave keeps the US place of '", 222, 48, {XK_ugrave, XK_percent}, true},
        {"a known character elsewhere keeps its own code", 222, 48, {XK_odiaeresis, XK_Odiaeresis}, false},
        {"a French digit reached with Shift", 49, 10, {XK_ampersand, XK_1}, true},
        {"the pad's digit behind Num Lock", 97, 87, {XK_KP_End, XK_KP_1}, true},
        {"the pad's End is no End", 35, 87, {XK_KP_End, XK_KP_1}, false},
        {"F13", 124, 191, {XK_F13, XK_F13}, true},
        {"XF86Tools where F13 is", 124, 191, {XF86XK_Tools}, true},
        {"XF86AudioMicMute where F20 is", 131, 198, {XF86XK_AudioMicMute}, true},
        {"a symbol with a code of its own keeps it", 131, 198, {XF86XK_AudioMute}, false},
        {"no symbols", 65, 38, {}, false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        const std::vector<unsigned long> symbols = TX11Keyboard::keySymbols(row.code);
        EXPECT_EQ(TX11Keyboard::keyGives(row.code, symbols, row.keyCode, row.levels.data(),
                                         static_cast<int>(row.levels.size())),
                  row.gives);
    }
}

} // namespace
