#include "tradio_form.h"

#include "skindisplay.h"

using namespace Qt::StringLiterals;

namespace {
const QString kCaption = u"Add Radio"_s;
}

Tradio_form::Tradio_form(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(u"radio_form"_s);
    setWindowTitle(kCaption);
    setFont(uiFont());
    setFixedSize(kClientWidth, kClientHeight);
}
