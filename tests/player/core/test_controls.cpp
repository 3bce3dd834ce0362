// The main window's controls as the user meets them right after start-up:
// places, captions, hints, enabled and visible states, timers and menus.

#include "captions.h"
#include "dialogs.h"
#include "autotag.h"
#include "forms/tbase_form.h"
#include "tequalizer_form.h"
#include "webradio_form.h"
#include "tskin_editor_form.h"
#include "defaultskin.h"
#include "melodeck.h"
#include "tabcontrol.h"
#include "timage.h"
#include "webradio_form.h"
#include "windowfixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>
#include <QTableView>
#include <QToolButton>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

struct ControlRow
{
    const char16_t *name;
    QRect place;
    const char16_t *caption; // nullptr: no caption to check
    const char16_t *hint;    // empty: no hint
    bool enabled;
    bool visible;
};

const ControlRow kControls[] = {
    {u"Image1", {0, 0, 600, 260}, nullptr, u"", true, true},
    {u"grip_image", {16, 48, 27, 22}, nullptr, u"", true, false},
    {u"glyph_1", {440, 48, 21, 11}, nullptr, u"", true, false},
    {u"glyph_infinite", {464, 48, 21, 11}, nullptr, u"", true, false},
    {u"glyph_shutdown", {488, 48, 21, 11}, nullptr, u"", true, false},
    {u"vol_back", {512, 16, 36, 20}, nullptr, u"", true, false},
    {u"vol_overlay", {512, 40, 36, 20}, nullptr, u"", true, false},
    {u"vol_drag", {512, 64, 3, 20}, nullptr, u"", true, false},
    {u"button_previoussong", {8, 168, 75, 25}, u"<<", u"", true, true},
    {u"button_stop", {88, 168, 73, 25}, u"O", u"", false, true},
    {u"button_playpause", {168, 168, 73, 25}, u"|>",
     u"Play/Pause, if no song is playing, the entire current songlist will be played", true, true},
    {u"button_nextsong", {248, 168, 75, 25}, u">>", u"", true, true},
    {u"button_random", {328, 168, 105, 25}, u"Random Song",
     u"Plays a random song, all following songs will be played haphazardly, too", true, true},
    {u"button_refreshsonglist", {504, 168, 89, 25}, u"Refresh Songlist",
     u"Search for new musicfiles in the directories that have ever been added here", true, true},
    {u"search", {5, 208, 57, 21}, u"Search:", u"", true, true},
    {u"search_q", {67, 208, 230, 21}, u"", u"Search query (case insensitive)", true, true},
    {u"search_where", {304, 208, 113, 21}, u"All", u"Select here where to search", true, true},
    {u"search_entirestring", {424, 210, 81, 17}, u"Entire String", u"Search for entire query", true, true},
    {u"search_and", {504, 210, 49, 17}, u"AND",
     u"Search for files including each term in the query; to declare multiple words as a term, set them in "
     u"quotation marks (e.g. \"Nina Simone\" \"Etta James\")",
     true, true},
    {u"search_or", {552, 210, 41, 17}, u"OR",
     u"Search for files including at least one of the terms in the query; to declare multiple words as a term, "
     u"set them in quotation marks (e.g. \"Bob Marley\" \"Peter Tosh\")",
     true, true},
    {u"page_control", {0, 232, 297, 33}, nullptr, u"", true, true},
    {u"button_saveplaylist", {304, 234, 73, 17}, u"Save Playlist", u"", true, true},
    {u"button_loadplaylist", {382, 234, 73, 17}, u"Load Playlist", u"", true, true},
    {u"button_after_playlist", {460, 234, 25, 17}, nullptr, u"What to do after having played the entire playlist?",
     true, true},
    {u"button_tag", {491, 234, 31, 17}, u"Tag",
     u"Edit songinfos; changes will only apply to this database, not to the files themselves", true, true},
    {u"Button1", {528, 234, 65, 17}, u"Skin Editor", u"", true, true},
    {u"songlist_grid", {0, 254, 600, 193}, nullptr, u"", true, true},
    {u"radio_add", {150, 257, 17, 17}, u"+", u"Add Radio", true, false},
    {u"radio_sub", {170, 257, 17, 17}, u"-", u"Delete Radio", true, false},
};

QString captionOf(QWidget *widget)
{
    if (auto *b = qobject_cast<QAbstractButton *>(widget))
        return b->text();
    if (auto *l = qobject_cast<QLabel *>(widget))
        return l->text();
    if (auto *e = qobject_cast<QLineEdit *>(widget))
        return e->text();
    if (auto *c = qobject_cast<QComboBox *>(widget))
        return c->currentText();
    return {};
}

// Each caption of a control: the width it takes in the control's font, and
// the width the control's style leaves it.
struct CaptionFit
{
    QString what;
    int needed;
    int room;
};

QList<CaptionFit> captionFits(QWidget *control)
{
    QList<CaptionFit> fits;
    const QStyle *style = control->style();
    const QFontMetrics metrics(control->font());
    auto add = [&](const QString &text, int room, int flags = Qt::TextShowMnemonic) {
        if (!text.isEmpty())
            fits.append({control->objectName() + u": "_s + text, metrics.size(flags, text).width(), room});
    };
    if (auto *button = qobject_cast<QAbstractButton *>(control)) {
        // Beside a radio or check indicator, or inside a bevel clear of its margin.
        QStyleOptionButton option;
        option.initFrom(button);
        const bool push = !qobject_cast<QRadioButton *>(button) && !qobject_cast<QCheckBox *>(button);
        const auto element = push ? QStyle::SE_PushButtonContents
                                  : qobject_cast<QRadioButton *>(button) ? QStyle::SE_RadioButtonContents
                                                                         : QStyle::SE_CheckBoxContents;
        add(button->text(), style->subElementRect(element, &option, button).width()
                                - (push ? style->pixelMetric(QStyle::PM_ButtonMargin) : 0));
    } else if (auto *label = qobject_cast<QLabel *>(control)) {
        // Without a buddy an ampersand shows as it stands.
        add(label->text(), label->contentsRect().width() - 2 * label->margin(),
            label->buddy() ? Qt::TextShowMnemonic : 0);
    } else if (auto *combo = qobject_cast<QComboBox *>(control)) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.frame = combo->hasFrame();
        // The text stands one pixel in from each side of the field.
        const QRect field = style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
        for (int i = 0; i < combo->count(); ++i)
            add(combo->itemText(i), field.width() - 2);
    } else if (auto *tabs = qobject_cast<QTabBar *>(control)) {
        for (int i = 0; i < tabs->count(); ++i)
            add(tabs->tabText(i), tabs->tabRect(i).width() - style->pixelMetric(QStyle::PM_TabBarTabHSpace));
    } else if (auto *header = qobject_cast<QHeaderView *>(control)) {
        // Any column may carry the one-character sort mark.
        for (int i = 0; i < header->count(); ++i) {
            const QString caption = header->model()->headerData(i, Qt::Horizontal).toString();
            add(caption.endsWith(u'>') || caption.endsWith(u'<') ? caption : caption + u'>',
                header->sectionSize(i) - 2 * style->pixelMetric(QStyle::PM_HeaderMargin), 0);
        }
    }
    return fits;
}

class ControlsTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        TSkinSettings settings = TSkinSettings::defaults();
        settings.hotKeysOn = false;
        settings.spectrumOn = false;
        writeSkin(settings);
        writeFilter();
        window_ = std::make_unique<Melodeck>(QStringList{});
        ASSERT_TRUE(window_->started());
        window_->show();
    }
    void TearDown() override
    {
        window_.reset();
        WindowFixture::TearDown();
    }
    std::unique_ptr<Melodeck> window_;
};

} // namespace

TEST_F(ControlsTest, EveryControlHasItsPlaceCaptionHintAndState)
{
    for (const ControlRow &row : kControls) {
        const QString name = QString::fromUtf16(row.name);
        SCOPED_TRACE(name.toStdString());
        auto *widget = window_->findChild<QWidget *>(name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget(), window_.get());
        EXPECT_EQ(widget->geometry(), row.place);
        if (row.caption) {
            EXPECT_EQ(captionOf(widget), QString::fromUtf16(row.caption));
        }
        EXPECT_EQ(widget->toolTip(), QString::fromUtf16(row.hint));
        EXPECT_EQ(widget->isEnabled(), row.enabled);
        EXPECT_EQ(widget->isVisible(), row.visible);
    }
}

TEST_F(ControlsTest, WindowIsFixedAt600By445WithoutMaximiseBox)
{
    EXPECT_EQ(window_->objectName(), u"Melodeck"_s);
    EXPECT_EQ(window_->windowTitle(), u"Melodeck"_s);
    EXPECT_EQ(window_->size(), QSize(600, 445));
    EXPECT_EQ(window_->minimumSize(), QSize(600, 445));
    EXPECT_EQ(window_->maximumSize(), QSize(600, 445));
    const Qt::WindowFlags flags = window_->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
}

TEST_F(ControlsTest, SearchRowStartsWithItsItemsAndModes)
{
    const QStringList expected{u"All"_s, u"Title"_s, u"Artist"_s, u"Album"_s, u"Filename"_s,
                               u"Archive Filename"_s};
    QStringList items;
    for (int i = 0; i < window_->search_where->count(); ++i)
        items.append(window_->search_where->itemText(i));
    EXPECT_EQ(items, expected);
    EXPECT_TRUE(window_->search_where->isEditable());
    EXPECT_TRUE(window_->search_entirestring->isChecked());
    EXPECT_FALSE(window_->search_and->isChecked());
    EXPECT_FALSE(window_->search_or->isChecked());
    EXPECT_TRUE(window_->search_q->text().isEmpty());
}

TEST_F(ControlsTest, FourTabsOf73Pixels)
{
    const TTabControl *tabs = window_->page_control;
    ASSERT_EQ(tabs->count(), 4);
    const QStringList captions{u"Musiclist"_s, u"Radiolist"_s, u"Searchlist"_s, u"Playlist"_s};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(tabs->tabText(i), captions.at(i));
        EXPECT_EQ(tabs->tabRect(i).width(), 73);
    }
    EXPECT_EQ(tabs->currentIndex(), 0);
}

TEST_F(ControlsTest, TimersHaveTheirIntervalsAndOnlyTheDeferredOneRuns)
{
    struct Expect
    {
        const QTimer *timer;
        int interval;
    };
    const Expect timers[] = {{&window_->play_monitor, 250}, {&window_->key_monitor, 400},
                             {&window_->load_songlist_timer, 350}, {&window_->title_refresh, 1000},
                             {&window_->azVisTimer, 42}};
    for (const Expect &e : timers) {
        SCOPED_TRACE(e.timer->objectName().toStdString());
        EXPECT_EQ(e.timer->interval(), e.interval);
        // Hot keys and the spectrum are off in this skin; only the deferred
        // start-up is pending.
        EXPECT_EQ(e.timer->isActive(), e.timer == &window_->load_songlist_timer);
    }
}

TEST_F(ControlsTest, SongGridShowsHeadersAndOneEmptyRow)
{
    const QAbstractItemModel *model = window_->songlist_grid->model();
    ASSERT_NE(model, nullptr);
    ASSERT_EQ(model->columnCount(), 6);
    EXPECT_EQ(model->rowCount(), 1);
    const QStringList headers{u"#>"_s, u"Title"_s, u"Artist"_s, u"Album"_s, u"Filename"_s,
                              u"Archive Filename"_s};
    for (int c = 0; c < 6; ++c)
        EXPECT_EQ(model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), headers.at(c));
    for (int c = 0; c < 6; ++c)
        EXPECT_TRUE(model->data(model->index(0, c), Qt::DisplayRole).toString().isEmpty());
    EXPECT_EQ(window_->songlist_grid->verticalHeader()->defaultSectionSize(), 20);
    EXPECT_EQ(window_->songlist_grid->horizontalHeader()->defaultSectionSize(), 95);
}

TEST_F(ControlsTest, AfterPlaylistMenuStartsOnStopAndSwapsTheGlyph)
{
    const QList<QAction *> items = window_->menu_after_playlist->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items.at(0)->text(), u"Stop Playlist"_s);
    EXPECT_EQ(items.at(1)->text(), u"Repeat Playlist"_s);
    EXPECT_EQ(items.at(2)->text(), u"Shutdown Windows"_s);
    EXPECT_TRUE(window_->after_playlist_stop->isChecked());
    EXPECT_FALSE(window_->after_playlist_repeat->isChecked());
    EXPECT_FALSE(window_->after_playlist_shutdown->isChecked());

    auto shownGlyph = [this] {
        return window_->button_after_playlist->icon().pixmap(QSize(21, 11)).toImage().convertToFormat(
            QImage::Format_ARGB32_Premultiplied);
    };
    // The button shows the glyph with its white ground left transparent.
    auto asShown = [](const QImage &glyph) {
        return whiteToTransparent(glyph).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    };
    const QImage stopGlyph = asShown(glyph1Picture());
    const QImage repeatGlyph = asShown(glyphInfinitePicture());
    int transparent = 0;
    for (int y = 0; y < stopGlyph.height(); ++y)
        for (int x = 0; x < stopGlyph.width(); ++x)
            transparent += stopGlyph.pixelColor(x, y).alpha() == 0 ? 1 : 0;
    ASSERT_GT(transparent, 0);
    ASSERT_NE(stopGlyph, repeatGlyph);
    EXPECT_EQ(shownGlyph(), stopGlyph);

    window_->after_playlist_repeat->trigger();
    window_->showAfterPlaylistGlyph();
    EXPECT_FALSE(window_->after_playlist_stop->isChecked());
    EXPECT_TRUE(window_->after_playlist_repeat->isChecked());
    EXPECT_EQ(shownGlyph(), repeatGlyph);

    // Choosing the checked item again keeps exactly one item checked.
    window_->after_playlist_repeat->trigger();
    EXPECT_TRUE(window_->after_playlist_repeat->isChecked());
    EXPECT_FALSE(window_->after_playlist_shutdown->isChecked());
}

TEST_F(ControlsTest, DialogsAreCreatedInOrderWithTheirCaptionsAndSizes)
{
    const TDialogs dialogs = createDialogs(*window_);
    struct Expect
    {
        QDialog *dialog;
        const char16_t *name;
        const char16_t *caption;
        QSize size;
        bool closeButton;
    };
    const Expect expected[] = {
        {dialogs.skin_editor_form, u"skin_editor_form", u"AZ Skin Editor", {317, 665}, true},
        {dialogs.base_form, u"base_form", u"Choose Directory", {420, 185}, false},
        {dialogs.radio_form, u"radio_form", u"Add Radio", {300, 105}, false},
        {dialogs.autotag_form, u"autotag_form", u"AutoTag", {790, 390}, true},
        {dialogs.equalizer_form, u"equalizer_form", u"Equalizer", {330, 230}, true},
    };
    QList<QDialog *> created;
    for (QObject *child : window_->children())
        if (auto *dialog = qobject_cast<QDialog *>(child); dialog && !qobject_cast<QFileDialog *>(child))
            created.append(dialog);
    ASSERT_EQ(created.size(), 5);
    for (int i = 0; i < 5; ++i) {
        const Expect &e = expected[i];
        SCOPED_TRACE(QString::fromUtf16(e.name).toStdString());
        EXPECT_EQ(created.at(i), e.dialog);
        EXPECT_EQ(e.dialog->objectName(), QString::fromUtf16(e.name));
        EXPECT_EQ(e.dialog->windowTitle(), QString::fromUtf16(e.caption));
        EXPECT_EQ(e.dialog->minimumSize(), e.size);
        EXPECT_EQ(e.dialog->maximumSize(), e.size);
        EXPECT_FALSE(e.dialog->isVisible());
        const Qt::WindowFlags flags = e.dialog->windowFlags();
        EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
        EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
        EXPECT_EQ(bool(flags & Qt::WindowCloseButtonHint), e.closeButton);
    }
}

TEST_F(ControlsTest, EveryCaptionOfEveryWindowFitsItsControl)
{
    const TDialogs dialogs = createDialogs(*window_);
    int checked = 0;
    for (QWidget *shown : QList<QWidget *>{window_.get(), dialogs.skin_editor_form, dialogs.base_form,
                                           dialogs.radio_form, dialogs.autotag_form, dialogs.equalizer_form}) {
        for (QWidget *control : shown->findChildren<QWidget *>()) {
            // Menus and file dialogs are windows of their own, laid out by Qt.
            if (control->window() != shown)
                continue;
            for (const CaptionFit &fit : captionFits(control)) {
                ++checked;
                EXPECT_LE(fit.needed, fit.room) << fit.what.toStdString();
            }
        }
    }
    // At least the main window's and the directory dialog's captions.
    EXPECT_GE(checked, 40);
}
