// The main window's controls: places, captions, hints and starting states.

#include "az_search.h"
#include "captions.h"
#include "compactstyle.h"
#include "defaultskin.h"
#include "melodeck.h"
#include "songtablemodel.h"
#include "tabcontrol.h"
#include "timage.h"

#include <QAction>
#include <QComboBox>
#include <QCompleter>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {
const QString kHintPlayPause =
    u"Play/Pause, if no song is playing, the entire current songlist will be played"_s;
const QString kHintRandom = u"Plays a random song, all following songs will be played haphazardly, too"_s;
const QString kHintRefresh = u"Search for new musicfiles in the directories that have ever been added here"_s;
const QString kHintSearchQuery = u"Search query (case insensitive)"_s;
const QString kHintSearchWhere = u"Select here where to search"_s;
const QString kHintEntireString = u"Search for entire query"_s;
const QString kHintAllTerms =
    u"Search for files including each term in the query; to declare multiple words as a term, set them in "
    u"quotation marks (e.g. \"Nina Simone\" \"Etta James\")"_s;
const QString kHintAnyTerm =
    u"Search for files including at least one of the terms in the query; to declare multiple words as a term, "
    u"set them in quotation marks (e.g. \"Bob Marley\" \"Peter Tosh\")"_s;
const QString kHintAfterPlaylist = u"What to do after having played the entire playlist?"_s;
const QString kHintTag =
    u"Edit songinfos; changes will only apply to this database, not to the files themselves"_s;
const QString kHintRadioAdd = u"Add Radio"_s;
const QString kHintRadioSub = u"Delete Radio"_s;

constexpr int kClientWidth = 600;
constexpr int kClientHeight = 445;
constexpr int kGridRowHeight = 20;
constexpr int kGridDefaultColumnWidth = 95;

template <typename T>
T *place(QWidget *parent, const QString &name, int left, int top, int width, int height)
{
    auto *widget = new T(parent);
    widget->setObjectName(name);
    widget->setGeometry(left, top, width, height);
    return widget;
}

QPushButton *button(QWidget *parent, const QString &name, const QRect &rect, const QString &caption,
                    const QString &hint = {})
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setGeometry(rect);
    if (!hint.isEmpty())
        b->setToolTip(hint);
    return b;
}

// Controls that lie on the skin picture get the desktop theme's ground, as
// they would have on a plain window; dark text on a dark skin is unreadable.
void opaqueOnSkin(QWidget *control, QPalette::ColorRole ground = QPalette::Window)
{
    control->setBackgroundRole(ground);
    control->setAutoFillBackground(true);
}

TImage *hiddenPicture(QWidget *parent, const QString &name, const QRect &rect, const QImage &picture)
{
    auto *image = new TImage(parent);
    image->setObjectName(name);
    image->setGeometry(rect);
    image->setPicture(picture);
    image->hide();
    return image;
}
} // namespace

void Melodeck::createControls()
{
    setObjectName(u"Melodeck"_s);
    setWindowTitle(Caption::WindowTitle);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(uiFont());

    Image1 = place<TImage>(this, u"Image1"_s, 0, 0, 600, 260);
    grip_image = hiddenPicture(this, u"grip_image"_s, {16, 48, 27, 22}, gripPicture());
    glyph_1 = hiddenPicture(this, u"glyph_1"_s, {440, 48, 21, 11}, glyph1Picture());
    glyph_infinite = hiddenPicture(this, u"glyph_infinite"_s, {464, 48, 21, 11}, glyphInfinitePicture());
    glyph_shutdown = hiddenPicture(this, u"glyph_shutdown"_s, {488, 48, 21, 11}, glyphShutdownPicture());
    vol_back = hiddenPicture(this, u"vol_back"_s, {512, 16, 36, 20}, volBackPicture());
    vol_overlay = hiddenPicture(this, u"vol_overlay"_s, {512, 40, 36, 20}, volOverlayPicture());
    vol_drag = hiddenPicture(this, u"vol_drag"_s, {512, 64, 3, 20}, volDragPicture());

    button_previoussong = button(this, u"button_previoussong"_s, {8, 168, 75, 25}, u"<<"_s);
    button_stop = button(this, u"button_stop"_s, {88, 168, 73, 25}, u"O"_s);
    button_stop->setEnabled(false);
    button_playpause = button(this, u"button_playpause"_s, {168, 168, 73, 25}, Caption::Play, kHintPlayPause);
    button_nextsong = button(this, u"button_nextsong"_s, {248, 168, 75, 25}, u">>"_s);
    button_random = button(this, u"button_random"_s, {328, 168, 105, 25}, u"Random Song"_s, kHintRandom);
    button_refreshsonglist =
        button(this, u"button_refreshsonglist"_s, {504, 168, 89, 25}, u"Refresh Songlist"_s, kHintRefresh);

    search = place<QLabel>(this, u"search"_s, 5, 208, 57, 21);
    search->setText(u"Search:"_s);
    search->setAlignment(Qt::AlignCenter);
    search->setFrameStyle(QFrame::Panel | QFrame::Raised);
    search_q = place<QLineEdit>(this, u"search_q"_s, 67, 208, 230, 21);
    search_q->setToolTip(kHintSearchQuery);
    search_where = place<QComboBox>(this, u"search_where"_s, 304, 208, 113, 21);
    // Editable: any typed text is a where text, and only the exact item
    // texts select their columns, so neither a typed text becomes an item
    // nor does completion change "artist" into "Artist".
    search_where->setEditable(true);
    search_where->setInsertPolicy(QComboBox::NoInsert);
    search_where->addItems(SearchWhere::Items);
    search_where->setCurrentIndex(0);
    if (QCompleter *completer = search_where->completer())
        completer->setCaseSensitivity(Qt::CaseSensitive);
    search_where->setToolTip(kHintSearchWhere);
    search_entirestring = place<QRadioButton>(this, u"search_entirestring"_s, 424, 210, 81, 17);
    search_entirestring->setText(u"Entire String"_s);
    search_entirestring->setToolTip(kHintEntireString);
    search_entirestring->setChecked(true);
    search_and = place<QRadioButton>(this, u"search_and"_s, 504, 210, 49, 17);
    search_and->setText(u"AND"_s);
    search_and->setToolTip(kHintAllTerms);
    search_or = place<QRadioButton>(this, u"search_or"_s, 552, 210, 41, 17);
    search_or->setText(u"OR"_s);
    search_or->setToolTip(kHintAnyTerm);
    for (QWidget *control : {static_cast<QWidget *>(search), static_cast<QWidget *>(search_entirestring),
                             static_cast<QWidget *>(search_and), static_cast<QWidget *>(search_or)})
        opaqueOnSkin(control);
    auto *compact = new TCompactStyle(this);
    for (QRadioButton *radio : {search_entirestring, search_and, search_or})
        radio->setStyle(compact);

    page_control = place<TTabControl>(this, u"page_control"_s, 0, 232, 297, 33);
    opaqueOnSkin(page_control);
    button_saveplaylist = button(this, u"button_saveplaylist"_s, {304, 234, 73, 17}, u"Save Playlist"_s);
    button_loadplaylist = button(this, u"button_loadplaylist"_s, {382, 234, 73, 17}, u"Load Playlist"_s);
    button_after_playlist = place<QToolButton>(this, u"button_after_playlist"_s, 460, 234, 25, 17);
    button_after_playlist->setAutoRaise(true);
    button_after_playlist->setToolTip(kHintAfterPlaylist);
    // The glyph is drawn dark: it needs the light ground of a button.
    opaqueOnSkin(button_after_playlist, QPalette::Button);
    button_tag = button(this, u"button_tag"_s, {491, 234, 31, 17}, Caption::Tag, kHintTag);
    Button1 = button(this, u"Button1"_s, {528, 234, 65, 17}, u"Skin Editor"_s);

    // Created after the tab strip, so it lies above the strip's lower edge.
    songlist_grid = place<QTableView>(this, u"songlist_grid"_s, 0, 254, 600, 193);
    gridModel_ = new TSongTableModel(songlist_grid);
    gridModel_->setTable(currentList);
    songlist_grid->setModel(gridModel_);
    songlist_grid->verticalHeader()->hide();
    songlist_grid->verticalHeader()->setDefaultSectionSize(kGridRowHeight);
    songlist_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    songlist_grid->horizontalHeader()->setDefaultSectionSize(kGridDefaultColumnWidth);
    songlist_grid->horizontalHeader()->setHighlightSections(false);
    songlist_grid->horizontalHeader()->setStyle(compact);
    songlist_grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    songlist_grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    songlist_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    songlist_grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    songlist_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    songlist_grid->setWordWrap(false);

    // Shown only while the Radiolist tab is active; on top of the grid.
    radio_add = button(this, u"radio_add"_s, {150, 257, 17, 17}, u"+"_s, kHintRadioAdd);
    radio_add->hide();
    radio_sub = button(this, u"radio_sub"_s, {170, 257, 17, 17}, u"-"_s, kHintRadioSub);
    radio_sub->hide();

    // The playlist file dialogs; their filters and captions belong to the
    // playlist-file code.
    SaveDialog1 = new QFileDialog(this);
    SaveDialog1->setObjectName(u"SaveDialog1"_s);
    SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
    OpenDialog1 = new QFileDialog(this);
    OpenDialog1->setObjectName(u"OpenDialog1"_s);
    OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);

    createAfterPlaylistMenu();
    createTimers();
}

void Melodeck::createTimers()
{
    struct Spec
    {
        QTimer *timer;
        const char16_t *name;
        int interval;
    };
    const Spec timers[] = {
        {&play_monitor, u"play_monitor", 250}, {&key_monitor, u"key_monitor", 400},
        {&load_songlist_timer, u"load_songlist_timer", 350}, {&title_refresh, u"title_refresh", 1000},
        {&azVisTimer, u"azVisTimer", 42},
    };
    for (const Spec &spec : timers) {
        spec.timer->setObjectName(QString::fromUtf16(spec.name));
        spec.timer->setInterval(spec.interval);
        spec.timer->stop();
    }
}

void Melodeck::createAfterPlaylistMenu()
{
    menu_after_playlist = new QMenu(this);
    menu_after_playlist->setObjectName(u"menu_after_playlist"_s);
    auto item = [this](const QString &name, const QString &caption, const TImage *glyph) {
        QAction *action = menu_after_playlist->addAction(caption);
        action->setObjectName(name);
        action->setCheckable(true);
        // White is the glyphs' transparent colour, as everywhere on the skin.
        action->setIcon(QIcon(QPixmap::fromImage(whiteToTransparent(glyph->picture()))));
        return action;
    };
    after_playlist_stop = item(u"after_playlist_stop"_s, u"Stop Playlist"_s, glyph_1);
    after_playlist_repeat = item(u"after_playlist_repeat"_s, u"Repeat Playlist"_s, glyph_infinite);
    after_playlist_shutdown = item(u"after_playlist_shutdown"_s, u"Shutdown Windows"_s, glyph_shutdown);
}
