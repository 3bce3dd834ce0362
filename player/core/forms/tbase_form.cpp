#include "tbase_form.h"

#include "basedirectories.h"
#include "formcontrols.h"
#include "skindisplay.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {
const QString kCaption = u"Choose Directory"_s;
// The types of the shipped filter; the second line continues the first.
const QString kLabel1 =
    u"Choose base directory to search for following files in: .mp3, .mp2, .wma, .wav,"_s;
const QString kLabel5 = u".ogg, .flac, .opus, .oga, .m4a, .aac, .wv, .ape, .aiff, .aif"_s;
// The doubled ampersand of the original caption shows as one; a label
// without a buddy shows the text as it stands.
const QString kLabel2 = u"To add further directories, you may \"drag&drop\" them into the songlist you wish."_s;
const QString kLabel3 = u"RAR-archives will be searched, too! If they contain musicfiles, they will be listed "_s;
const QString kLabel4 = u"in the database and be extracted on demand!"_s;
const QString kOpenDirectory = u"Open Directory"_s;
const QString kSaveAndSearch = u"Save and Search"_s;
const QString kCancel = u"Cancel"_s;
} // namespace

Tbase_form::Tbase_form(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      chooser_(&Tbase_form::chooseDirectory)
{
    setObjectName(u"base_form"_s);
    setWindowTitle(kCaption);
    setFont(uiFont());
    setFixedSize(kClientWidth, kClientHeight);

    Label1 = namedLabel(this, u"Label1"_s, kLabel1, {8, 8, 404, 16});
    Label5 = namedLabel(this, u"Label5"_s, kLabel5, {8, 24, 404, 16});
    Label3 = namedLabel(this, u"Label3"_s, kLabel3, {8, 42, 404, 16});
    Label4 = namedLabel(this, u"Label4"_s, kLabel4, {8, 58, 404, 16});
    base_dir = new QLineEdit(this);
    base_dir->setObjectName(u"base_dir"_s);
    base_dir->setGeometry(8, 82, 300, 21);
    Button1 = namedButton(this, u"Button1"_s, kOpenDirectory, {316, 80, 96, 25});
    Label2 = namedLabel(this, u"Label2"_s, kLabel2, {8, 114, 404, 16});
    save = namedButton(this, u"save"_s, kSaveAndSearch, {212, 152, 110, 25});
    save->setEnabled(false);
    cancel = namedButton(this, u"cancel"_s, kCancel, {330, 152, 82, 25});
    // Enter in the directory box never presses a button on its own.
    for (QPushButton *b : {Button1, save, cancel})
        b->setAutoDefault(false);

    connect(base_dir, &QLineEdit::textChanged, this, [this] { base_dirChange(); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(save, &QPushButton::clicked, this, [this] { saveClick(); });
    connect(cancel, &QPushButton::clicked, this, [this] { cancelClick(); });
}

void Tbase_form::setBaseDirectories(TStringListC *baseDirectories)
{
    baseDirectories_ = baseDirectories;
    base_dir->clear();
    base_dirChange();
}

void Tbase_form::base_dirChange()
{
    const QString text = base_dir->text();
    save->setEnabled(!text.isEmpty() && QFileInfo(text).isDir());
}

void Tbase_form::Button1Click()
{
    const QString chosen = chooser_ ? chooser_(QString()) : QString();
    if (!chosen.isEmpty())
        base_dir->setText(chosen);
}

void Tbase_form::saveClick()
{
    // The edit may have changed to a folder that is gone since.
    base_dirChange();
    if (!save->isEnabled())
        return;
    if (baseDirectories_) {
        baseDirectories_->append(withoutTrailingSlash(base_dir->text()));
        saveBaseDirectories(*baseDirectories_);
    }
    accept();
}

void Tbase_form::cancelClick()
{
    reject();
}

QString Tbase_form::chooseDirectory(const QString &preselected)
{
    // Rooted at the file system's root; a preselected folder opens there.
    const QString start = preselected.isEmpty() ? QDir::rootPath() : preselected;
    return QFileDialog::getExistingDirectory(QApplication::activeWindow(), kCaption, start,
                                             QFileDialog::ShowDirsOnly);
}

void Tbase_form::setDirectoryChooser(std::function<QString(const QString &)> chooser)
{
    chooser_ = std::move(chooser);
}
