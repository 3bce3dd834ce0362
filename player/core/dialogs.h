#pragma once

// The five dialog windows of the program, created once after the main window
// and owned by it.

class Melodeck;
class Tautotag_form;
class Tbase_form;
class Tequalizer_form;
class Tradio_form;
class Tskin_editor_form;

struct TDialogs
{
    Tskin_editor_form *skin_editor_form = nullptr;
    Tbase_form *base_form = nullptr;
    Tradio_form *radio_form = nullptr;
    Tautotag_form *autotag_form = nullptr;
    Tequalizer_form *equalizer_form = nullptr;
};

// Creates them in their fixed order: skin editor, base directory, add radio,
// AutoTag, equalizer.
TDialogs createDialogs(Melodeck &window);
