// Which keys of an X keyboard give a virtual-key code, by the symbols the
// code stands for and by the key's place.

#include "keystate_x11.h"

#include <gtest/gtest.h>

#include <vector>

// The X headers define macros such as None and Bool; they come last.
#include <X11/XF86keysym.h>
#include <X11/keysym.h>

namespace {

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
        {"Print", 44, 107, {XK_Print, XK_Sys_Req}, true},
        {"Menu", 93, 135, {XK_Menu}, true},
        {"Scroll Lock", 145, 78, {XK_Scroll_Lock}, true},
        {"the pad's +", 107, 86, {XK_KP_Add}, true},
        {"a media key", 176, 171, {XF86XK_AudioNext}, true},
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
