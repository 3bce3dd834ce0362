// The main window's web-radio handlers and the wiring of web radio to the
// window's lists, grid and message boxes.

#include "captions.h"
#include "melodeck.h"
#include "songtablemodel.h"
#include "tabcontrol.h"
#include "usermessages.h"
#include "webradio.h"
#include "webradio_form.h"

#include <QApplication>
#include <QPushButton>
#include <QTableView>

void Melodeck::radioSetup()
{
    TWebRadioState state{engine_, radiolist, playlist, currentIndex, currentStream};
    TWebRadioHooks hooks;
    hooks.activePage = [this] { return page_control->currentIndex(); };
    hooks.gridRowChanged = [this](const TFileInfos &list, int row) {
        if (gridModel_->table() == &list)
            gridModel_->cellsChanged(row, 1, 3);
    };
    hooks.selectedGridRow = [this] { return songlist_grid->currentIndex().row() + 1; };
    hooks.showList = [this](TFileInfos &list) { showList(list); };
    hooks.streamTitleChanged = [this](const QString &title) { streamTitleChanged(title); };
    hooks.showMessage = [this](const QString &text) {
        showMessage(this, QMessageBox::NoIcon, Caption::WindowTitle, text);
    };
    // The radio's one question removes a station for good: Enter keeps it.
    hooks.askYesNo = [this](const QString &title, const QString &text) {
        return askYesNo(this, QMessageBox::Question, title, text, QMessageBox::No);
    };
    hooks.setBusy = [this](bool busy) {
        if (busy) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            // Drawn whole before the connection holds the thread, also where
            // a dialog has just closed.
            repaint();
        } else {
            QApplication::restoreOverrideCursor();
        }
    };
    webRadio_ = std::make_unique<TWebRadio>(state, std::move(hooks), programDir() + TWebRadio::kStoreFileName);
    webRadio_->radioSetup();
}

void Melodeck::radio_addClick()
{
    // The dialog is created with the others after the window; a window
    // without them (in tests) makes its own.
    auto *form = findChild<Tradio_form *>();
    if (!form)
        form = new Tradio_form(this);
    form->setMessageBox([this](const QString &text) {
        showMessage(this, QMessageBox::NoIcon, Caption::WindowTitle, text);
    });
    form->setOkAction([this](const QString &url) { webRadio_->addStation(url); });
    form->exec();
}

void Melodeck::radio_subClick()
{
    webRadio_->radio_subClick();
}
