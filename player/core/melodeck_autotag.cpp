// AutoTag's links to the main window, and opening it.

#include "autotag.h"
#include "captions.h"
#include "melodeck.h"
#include "tabcontrol.h"
#include "usermessages.h"

void Melodeck::linkAutoTag()
{
    autoTagLinks_.musiclist = &musiclist;
    autoTagLinks_.pageControl = page_control;
    autoTagLinks_.showList = [this](TFileInfos &list) { showList(list); };
    autoTagLinks_.showMessage = [](QWidget *parent, const QString &text) {
        showMessage(parent, QMessageBox::NoIcon, Caption::WindowTitle, text);
    };
}

void Melodeck::openAutoTag()
{
    // The window is created with the other dialogs after this one; a window
    // without them (in tests) makes its own.
    auto *form = findChild<Tautotag_form *>();
    if (!form)
        form = new Tautotag_form(autoTagLinks_, this);
    form->exec();
}
