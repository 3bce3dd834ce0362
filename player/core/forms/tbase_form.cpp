#include "tbase_form.h"

#include "skindisplay.h"

using namespace Qt::StringLiterals;

namespace {
const QString kCaption = u"Choose Directory"_s;
}

Tbase_form::Tbase_form(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(u"base_form"_s);
    setWindowTitle(kCaption);
    setFont(uiFont());
    setFixedSize(kClientWidth, kClientHeight);
}
