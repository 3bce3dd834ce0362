#include "dialogs.h"

#include "forms/tautotag_form.h"
#include "forms/tbase_form.h"
#include "forms/tequalizer_form.h"
#include "forms/tradio_form.h"
#include "forms/tskin_editor_form.h"
#include "melodeck.h"

TDialogs createDialogs(Melodeck &window)
{
    TDialogs dialogs;
    dialogs.skin_editor_form = new Tskin_editor_form(&window);
    dialogs.base_form = new Tbase_form(&window);
    dialogs.radio_form = new Tradio_form(&window);
    dialogs.autotag_form = new Tautotag_form(&window);
    dialogs.equalizer_form = new Tequalizer_form(&window);
    return dialogs;
}
