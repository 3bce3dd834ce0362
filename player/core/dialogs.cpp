#include "dialogs.h"

#include "autotag.h"
#include "forms/tbase_form.h"
#include "forms/tskin_editor_form.h"
#include "tequalizer_form.h"
#include "melodeck.h"
#include "webradio_form.h"

TDialogs createDialogs(Melodeck &window)
{
    TDialogs dialogs;
    dialogs.skin_editor_form = new Tskin_editor_form(&window);
    // However the editor is closed, the stored skin comes back (and with it
    // the hot keys).
    QObject::connect(dialogs.skin_editor_form, &QDialog::finished, &window, [&window] { window.loadSkin(true); });
    dialogs.base_form = new Tbase_form(&window);
    dialogs.radio_form = new Tradio_form(&window);
    dialogs.autotag_form = new Tautotag_form(window.autoTagLinks(), &window);
    dialogs.equalizer_form = new Tequalizer_form(window.equalizer(), &window);
    return dialogs;
}
