// Keyboard control without an X server: type-ahead from the buttons and the
// grid into the search box, the hot keys resting while the skin editor is
// open, and hot keys that act on the program's own keys.

#include "az_volume_bar.h"
#include "dialogs.h"
#include "tskin_editor_form.h"
#include "keyboardcontrol.h"
#include "tabcontrol.h"
#include "test_play_support.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTimer>

#include <string>

using namespace Qt::StringLiterals;

namespace {

class KeyboardTest : public playtest::PlayFixture
{
protected:
    void start(bool hotKeysOn)
    {
        TSkinSettings settings = TSkinSettings::defaults();
        settings.hotKeysOn = hotKeysOn;
        writeSkin(settings);
        PlayFixture::start();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    }
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
        bool clicked; // button_nextsong
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
        QSignalSpy clicked(window_->button_nextsong, &QPushButton::clicked);
        QTest::keyClick(QApplication::focusWidget(), row.key, row.modifiers);
        EXPECT_EQ(window_->search_q->text(), QString::fromUtf16(row.text));
        EXPECT_EQ(QApplication::focusWidget() == window_->search_q, row.searchFocused);
        EXPECT_EQ(window_->search_q->cursorPosition(), row.caret);
        EXPECT_EQ(clicked.count(), row.clicked ? 1 : 0);
    }
}

TEST_F(KeyboardTest, WithoutAnXServerOwnKeysDriveTheHotKeysWhichRestWhileTheSkinEditorIsOpen)
{
    start(true);
    ASSERT_FALSE(window_->keyboard().keyState().global());
    EXPECT_EQ(window_->Button1->toolTip(), TKeyboardControl::kNoGlobalKeysHint);
    window_->key_monitor.stop(); // the test ticks
    QWidget *focus = window_->search_q;
    focus->setFocus();
    window_->volumeBar()->setPosition(50);
    QTest::keyClick(focus, Qt::Key_Plus);
    window_->key_monitorTimer();
    window_->key_monitorTimer();
    QTest::keyPress(focus, Qt::Key_Minus);
    window_->key_monitorTimer();
    window_->key_monitorTimer();
    QTest::keyRelease(focus, Qt::Key_Minus);
    window_->key_monitorTimer();
    EXPECT_EQ(window_->volumeBar()->position(), 40); // +10 once, -10 on each tick while held
    EXPECT_EQ(window_->search_q->text(), u"+-"_s);   // hot keys are typed as well

    window_->loadSkin(true);
    const TDialogs dialogs = createDialogs(*window_);
    bool monitorWhileOpen = true;
    QTimer::singleShot(0, window_.get(), [&] {
        EXPECT_TRUE(dialogs.skin_editor_form->isVisible());
        monitorWhileOpen = window_->key_monitor.isActive();
        dialogs.skin_editor_form->reject();
    });
    window_->Button1->click();
    EXPECT_FALSE(monitorWhileOpen);
    EXPECT_TRUE(window_->key_monitor.isActive());
}

} // namespace
