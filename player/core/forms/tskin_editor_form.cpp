#include "tskin_editor_form.h"

#include "skindisplay.h"

using namespace Qt::StringLiterals;

namespace {
const QString kCaption = u"AZ Skin Editor"_s;
}

Tskin_editor_form::Tskin_editor_form(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(u"skin_editor_form"_s);
    setWindowTitle(kCaption);
    setFont(uiFont());
    setFixedSize(kClientWidth, kClientHeight);
}
