#include "dialogs.h"

#include "autotag.h"
#include "forms/tbase_form.h"
#include "tskin_editor_form.h"
#include "tequalizer_form.h"
#include "melodeck.h"
#include "usermessages.h"
#include "webradio_form.h"

#include <QCheckBox>
#include <QSlider>

namespace {

// The editor is created first; the equalizer and AutoTag windows it opens
// come later and are found when they are needed.
TSkinEditorLinks skinEditorLinks(Melodeck &window)
{
    const TSkinEditorCallbacks &callbacks = window.skinEditorCallbacks();
    TSkinEditorLinks links;
    links.hotKeys = &window.hotKeys();
    links.skinApplied = callbacks.skinApplied;
    // However the editor is closed, the stored skin comes back (and with it
    // the hot keys).
    links.loadSkin = callbacks.loadSkin;
    links.resetFileTypes = callbacks.resetFileTypes;
    links.readEqualizer = [&window](std::array<int, kEqualizerBandCount> &bands, bool &on) {
        bands = window.skinSettings().equalizer;
        on = window.skinSettings().equalizerOn;
        if (const auto *form = window.findChild<Tequalizer_form *>()) {
            const auto sliders = form->sliders();
            for (std::size_t i = 0; i < bands.size(); ++i)
                bands[i] = sliders[i]->value();
            on = form->active->isChecked();
        }
    };
    links.openEqualizer = [&window](std::function<void()> save) {
        if (auto *form = window.findChild<Tequalizer_form *>()) {
            form->setSaveFunc(std::move(save));
            form->exec();
        }
    };
    links.openAutoTag = callbacks.autoTag;
    links.report = [](QWidget *parent, const QString &title, const QString &text) {
        showMessage(parent, QMessageBox::Warning, title, text);
    };
    return links;
}

} // namespace

TDialogs createDialogs(Melodeck &window)
{
    TDialogs dialogs;
    dialogs.skin_editor_form = new Tskin_editor_form(skinEditorLinks(window), &window);
    dialogs.base_form = new Tbase_form(&window);
    dialogs.radio_form = new Tradio_form(&window);
    dialogs.autotag_form = new Tautotag_form(window.autoTagLinks(), &window);
    dialogs.equalizer_form = new Tequalizer_form(window.equalizer(), &window);
    return dialogs;
}
