#include "tequalizer_form.h"

#include "skindisplay.h"

using namespace Qt::StringLiterals;

namespace {
const QString kCaption = u"Equalizer"_s;
}

Tequalizer_form::Tequalizer_form(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(u"equalizer_form"_s);
    setWindowTitle(kCaption);
    setFont(uiFont());
    setFixedSize(kClientWidth, kClientHeight);
}
