// What keyboard control is handed of the main window.

#include "melodeck.h"

#include "keyboardcontrol.h"
#include "timage.h"
#include "tskin_editor_form.h"

#include <QPushButton>
#include <QRadioButton>

TKeyboardLinks Melodeck::keyboardLinks()
{
    TKeyboardLinks links{key_monitor, skin_, randomMode, *search_q, *songlist_grid, *button_tag, *Button1};
    links.typeAheadControls = {button_random,          button_playpause,    button_stop,
                               button_refreshsonglist, button_nextsong,     button_previoussong,
                               button_saveplaylist,    button_loadplaylist, Button1,
                               button_tag,             radio_add,           radio_sub,
                               search_entirestring,    search_and,          search_or};
    links.button_nextsongClick = [this] { button_nextsongClick(); };
    links.button_randomClick = [this] { button_randomClick(); };
    links.button_playpauseClick = [this] { button_playpauseClick(); };
    links.button_stopClick = [this] { button_stopClick(); };
    links.button_previoussongClick = [this] { button_previoussongClick(); };
    links.volumeBar = [this] { return volumeBar(); };
    links.setVolume = [this](int percent) { setVolume(percent); };
    links.redrawSkin = [this] { Image1->changed(); };
    // The editor is created after the main window, as one of its children.
    links.skinEditor = [this] { return findChild<Tskin_editor_form *>(); };
    return links;
}
