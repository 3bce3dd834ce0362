#include "autotag.h"

#include "formcontrols.h"
#include "options.h"
#include "skindisplay.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>
#include <QTabBar>

using namespace Qt::StringLiterals;

const QString Tautotag_form::kStoreFileName = u"songlist.azl"_s;
const QString Tautotag_form::kFoundText = u" untagged files found."_s;
const QString Tautotag_form::kRenamedText = u" files have been renamed successfully."_s;

namespace {
const QString kCaption = u"AutoTag"_s;
const QString kRule = u"\"Artist - Title.xxx\" -> Artist, Title"_s;
const QString kScanning = u"(enabled already when scanning)"_s;
const QString kTag = u"Tag!"_s;
const QString kCancel = u"Cancel"_s;
const QString kSelectAllNone = u"Select All/None"_s;
// The library's tab of the main window's tab control.
constexpr int kMusiclistPage = 0;
// Eleven pixels: the 96 characters of a line take about 640 of the list's
// 790 pixels beside the mark box, and a line stays within its 13 pixels.
constexpr int kListFontPixels = 11;
} // namespace

QFont autoTagListFont()
{
    QFont font(u"Courier"_s);
    font.setFamilies({u"Liberation Mono"_s, u"Cousine"_s, u"Courier New"_s, u"Courier"_s, u"DejaVu Sans Mono"_s});
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPixelSize(kListFontPixels);
    return font;
}

Tautotag_form::Tautotag_form(TAutoTagLinks links, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint),
      links_(std::move(links))
{
    setObjectName(u"autotag_form"_s);
    setWindowTitle(kCaption);
    setFont(uiFont());
    setFixedSize(kClientWidth, kClientHeight);

    tags = new QListWidget(this);
    tags->setObjectName(u"tags"_s);
    tags->setGeometry(0, 0, kClientWidth, 345);
    tags->setFont(autoTagListFont());
    tags->setUniformItemSizes(true);
    tags->setSelectionMode(QAbstractItemView::SingleSelection);
    tags->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    cnt = namedLabel(this, u"cnt"_s, u"0"_s + kFoundText, {8, 358, 200, 16});
    Label1 = namedLabel(this, u"Label1"_s, kRule, {216, 350, 260, 16});
    Label2 = namedLabel(this, u"Label2"_s, kScanning, {216, 367, 260, 16});
    Button3 = namedButton(this, u"Button3"_s, kSelectAllNone, {488, 356, 110, 25});
    Button1 = namedButton(this, u"Button1"_s, kTag, {610, 356, 80, 25});
    Button1->setDefault(true);
    Button2 = namedButton(this, u"Button2"_s, kCancel, {700, 356, 80, 25});

    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
}

void Tautotag_form::showEvent(QShowEvent *event)
{
    // A window coming back from being minimised keeps what the user marked.
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

void Tautotag_form::FormShow()
{
    tags->clear();
    candidates_.clear();
    if (links_.musiclist)
        candidates_ = collectAutoTagCandidates(links_.musiclist->title);

    const QSize itemSize(0, kItemHeight);
    for (const QString &line : std::as_const(candidates_.items)) {
        auto *item = new QListWidgetItem(line);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
        item->setSizeHint(itemSize);
        tags->addItem(item);
    }
    allSelected_ = true;
    cnt->setText(QString::number(tags->count()) + kFoundText);
}

void Tautotag_form::markAll(bool marked)
{
    const Qt::CheckState state = marked ? Qt::Checked : Qt::Unchecked;
    for (int i = 0; i < tags->count(); ++i)
        tags->item(i)->setCheckState(state);
}

void Tautotag_form::Button3Click()
{
    allSelected_ = !allSelected_;
    markAll(allSelected_);
}

void Tautotag_form::Button1Click()
{
    if (tags->count() == 0 || !links_.musiclist)
        return;
    QList<bool> marked;
    marked.reserve(tags->count());
    for (int i = 0; i < tags->count(); ++i)
        marked.append(tags->item(i)->checkState() == Qt::Checked);

    TFileInfos &musiclist = *links_.musiclist;
    QStringList titles = musiclist.title;
    QStringList artists = musiclist.artist;
    const int tagged = applyAutoTag(candidates_, marked, titles, artists);
    musiclist.title.takeChanged(titles);
    musiclist.artist.takeChanged(artists);
    // Stored even when nothing was marked, as the user asked for it.
    musiclist.saveTable(programDir() + kStoreFileName);
    if (links_.pageControl && links_.pageControl->currentIndex() == kMusiclistPage && links_.showList)
        links_.showList(musiclist);
    message(QString::number(tagged) + kRenamedText);
    accept();
}

void Tautotag_form::Button2Click()
{
    reject();
}

void Tautotag_form::message(const QString &text)
{
    if (links_.showMessage)
        links_.showMessage(this, text);
    else
        QMessageBox::information(this, QApplication::applicationName(), text);
}
