// Keyboard control without an X server: type-ahead from the buttons and the
// grid into the search box, the hot keys resting while the skin editor is
// open, and hot keys that act on the program's own keys.

#include "az_volume_bar.h"
#include "captions.h"
#include "dialogs.h"
#include "forms/tskin_editor_form.h"
#include "keyboardcontrol.h"
#include "melodeck.h"
#include "windowfixture.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <memory>
#include <string>

using namespace Qt::StringLiterals;

namespace {

class KeyboardTest : public WindowFixture
{
protected:
    void start(bool hotKeysOn)
    {
        TSkinSettings settings = TSkinSettings::defaults();
        settings.hotKeysOn = hotKeysOn;
        settings.spectrumOn = false;
        writeSkin(settings);
        window_ = std::make_unique<Melodeck>(QStringList{});
        ASSERT_TRUE(window_->started());
        window_->load_songlist_timer.stop();
        window_->show();
        window_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    }
    void TearDown() override
    {
        window_.reset();
        WindowFixture::TearDown();
    }
    std::unique_ptr<Melodeck> window_;
};

TEST_F(KeyboardTest, PrintableKeysOnButtonsAndTheGridBecomeTheSearchText)
{
    start(false);
    const struct
    {
        const char16_t *control;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        bool tagMode;
        const char16_t *text; // the search text afterwards; it was "abc"
        bool searchFocused;
        int caret; // it was 0
        bool clicked;
    } rows[] = {
        {u"songlist_grid", Qt::Key_M, {}, false, u"m", true, 1, false},
        {u"search_and", Qt::Key_7, {}, false, u"7", true, 1, false},
        {u"button_nextsong", Qt::Key_Space, {}, false, u"abc", false, 0, true},
        {u"button_tag", Qt::Key_M, Qt::ShiftModifier, false, u"abc", true, 0, false},
        {u"Button1", Qt::Key_M, Qt::ControlModifier, false, u"abc", true, 0, false},
        {u"button_random", Qt::Key_F5, {}, false, u"abc", true, 2, false},
        {u"songlist_grid", Qt::Key_Down, {}, false, u"abc", false, 0, false},
        {u"songlist_grid", Qt::Key_M, {}, true, u"abc", false, 0, false},
    };
    for (const auto &row : rows) {
        const QString name = QString::fromUtf16(row.control);
        SCOPED_TRACE(name.toStdString() + " key " + std::to_string(row.key));
        window_->button_tag->setText(row.tagMode ? Caption::TagMode : Caption::Tag);
        window_->search_q->setText(u"abc"_s);
        window_->search_q->setCursorPosition(0);
        auto *control = window_->findChild<QWidget *>(name);
        ASSERT_NE(control, nullptr);
        control->setFocus();
        QSignalSpy clicked(control, SIGNAL(clicked()));
        QTest::keyClick(QApplication::focusWidget(), row.key, row.modifiers);
        EXPECT_EQ(window_->search_q->text(), QString::fromUtf16(row.text));
        EXPECT_EQ(QApplication::focusWidget() == window_->search_q, row.searchFocused);
        EXPECT_EQ(window_->search_q->cursorPosition(), row.caret);
        EXPECT_EQ(clicked.count(), row.clicked ? 1 : 0);
    }
}

TEST_F(KeyboardTest, TheSkinEditorStopsTheHotKeysUntilItCloses)
{
    for (const bool hotKeysOn : {true, false}) {
        SCOPED_TRACE(hotKeysOn);
        start(hotKeysOn);
        const TDialogs dialogs = createDialogs(*window_);
        EXPECT_EQ(window_->key_monitor.isActive(), hotKeysOn);
        bool shown = false;
        bool monitorWhileOpen = true;
        QTimer::singleShot(0, window_.get(), [&] {
            shown = dialogs.skin_editor_form->isVisible();
            monitorWhileOpen = window_->key_monitor.isActive();
            dialogs.skin_editor_form->reject();
        });
        window_->Button1->click();
        EXPECT_TRUE(shown);
        EXPECT_FALSE(monitorWhileOpen);
        EXPECT_EQ(window_->key_monitor.isActive(), hotKeysOn);
        // Without an X server the user learns why keys elsewhere do nothing.
        EXPECT_EQ(window_->Button1->toolTip(), hotKeysOn ? TKeyboardControl::kNoGlobalKeysHint : QString());
        window_.reset();
    }
}

TEST_F(KeyboardTest, WithoutAnXServerTheProgramsOwnKeysDriveTheHotKeys)
{
    start(true);
    ASSERT_FALSE(window_->keyboard().keyState().global());
    window_->key_monitor.stop();
    QWidget *focus = window_->search_q;
    focus->setFocus();
    const auto volume = [&] { return window_->volumeBar()->position(); };
    window_->volumeBar()->setPosition(50);

    QTest::keyClick(focus, Qt::Key_Plus);
    window_->key_monitorTimer();
    window_->key_monitorTimer();
    EXPECT_EQ(volume(), 60);

    QTest::keyPress(focus, Qt::Key_Minus);
    window_->key_monitorTimer();
    window_->key_monitorTimer();
    QTest::keyRelease(focus, Qt::Key_Minus);
    window_->key_monitorTimer();
    EXPECT_EQ(volume(), 40);
    // The hot key is typed into the search box as well.
    EXPECT_EQ(window_->search_q->text(), u"+-"_s);
}

} // namespace
