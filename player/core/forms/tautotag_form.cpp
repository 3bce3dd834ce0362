#include "tautotag_form.h"

#include "skindisplay.h"

using namespace Qt::StringLiterals;

namespace {
const QString kCaption = u"AutoTag"_s;
}

Tautotag_form::Tautotag_form(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(u"autotag_form"_s);
    setWindowTitle(kCaption);
    setFont(uiFont());
    setFixedSize(kClientWidth, kClientHeight);
}
