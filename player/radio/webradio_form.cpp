#include "webradio_form.h"

#include "formcontrols.h"
#include "skindisplay.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

using namespace Qt::StringLiterals;

const QString Tradio_form::kEmptyText = u"Type in a url!"_s;
const QString Tradio_form::kSchemeText = u"The url has to start with \"http://\"!"_s;
const QString Tradio_form::kBareText = u"Type in a valid url!"_s;
const QString Tradio_form::kScheme = u"http://"_s;

namespace {
const QString kCaption = u"Add Radio"_s;
const QString kLabel = u"Type in the URL you want to add:"_s;
const QString kOk = u"OK"_s;
const QString kCancel = u"Cancel"_s;

} // namespace

Tradio_form::Tradio_form(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(u"radio_form"_s);
    setWindowTitle(kCaption);
    setFont(uiFont());
    setFixedSize(kClientWidth, kClientHeight);

    Label1 = new QLabel(kLabel, this);
    Label1->setObjectName(u"Label1"_s);
    Label1->setGeometry(8, 8, 284, 16);
    url = new QLineEdit(kScheme, this);
    url->setObjectName(u"url"_s);
    url->setGeometry(8, 30, 284, 23);
    Button1 = namedButton(this, u"Button1"_s, kOk, {136, 68, 75, 27});
    Button1->setDefault(true);
    Button2 = namedButton(this, u"Button2"_s, kCancel, {217, 68, 75, 27});
    Button2->setAutoDefault(false);

    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
}

void Tradio_form::setOkAction(std::function<void(const QString &)> action)
{
    okAction_ = std::move(action);
}

void Tradio_form::setMessageBox(std::function<void(const QString &)> showMessage)
{
    showMessage_ = std::move(showMessage);
}

void Tradio_form::message(const QString &text)
{
    if (showMessage_)
        showMessage_(text);
    else
        QMessageBox::information(this, windowTitle(), text);
}

void Tradio_form::Button1Click()
{
    const QString text = url->text();
    if (text.isEmpty()) {
        message(kEmptyText);
        return;
    }
    if (!text.startsWith(kScheme)) {
        message(kSchemeText);
        return;
    }
    if (text == kScheme) {
        message(kBareText);
        return;
    }
    // Closed first, so the window behind is drawn again before the station
    // is connected to.
    accept();
    if (okAction_)
        okAction_(text);
}

void Tradio_form::Button2Click()
{
    reject();
}
