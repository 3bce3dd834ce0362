#include "keyboardcontrol.h"

#include "az_volume_bar.h"
#include "captions.h"
#include "tskin_editor_form.h"
#include "keynames.h"
#include "melodeck.h"
#include "skinsettings.h"
#include "timage.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>

#include <algorithm>

using namespace Qt::StringLiterals;

const QString TKeyboardControl::kNoGlobalKeysHint =
    u"Global hot keys need an X11 session; here they act only while Melodeck has the keyboard focus."_s;

namespace {

constexpr int kVolumeStep = 10;
// Enter, Space and the arrow keys keep their usual work on a button or in
// the grid.
constexpr int kControlKeys[] = {13, 32, 38, 40, 37, 39};
// The caret goes behind the second character (or to the end of a shorter
// text) when the search box takes over the keyboard.
constexpr int kCaretAfterTypeAhead = 2;
// The order in which key_monitor asks about the hot keys.
constexpr int kTickOrder[] = {HotKey::Next,     HotKey::PlayPause,  HotKey::Stop,
                              HotKey::Previous, HotKey::VolumeDown, HotKey::VolumeUp};

// Where the desktop's keyboard cannot be seen, the hot keys still act on the
// keys the program's own windows receive, whichever control has the focus.
class OwnKeyFeed : public QObject
{
public:
    explicit OwnKeyFeed(TKeyState &keys) : keys_(keys) {}

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease: {
            const auto *key = static_cast<QKeyEvent *>(event);
            if (key->isAutoRepeat())
                break;
            const int virtualKey = virtualKeyFromQtKey(key->key());
            if (event->type() == QEvent::KeyPress)
                keys_.notePress(virtualKey);
            else
                keys_.noteRelease(virtualKey);
            break;
        }
        case QEvent::ApplicationDeactivate:
            // Releases now go to another program.
            keys_.releaseAll();
            break;
        default:
            break;
        }
        return false;
    }

private:
    TKeyState &keys_;
};

} // namespace

TKeyboardControl::TKeyboardControl(Melodeck &window)
    : w_(window), keys_(QGuiApplication::platformName() == u"xcb"_s)
{
    ownKeys_ = std::make_unique<OwnKeyFeed>(keys_);
    QCoreApplication::instance()->installEventFilter(ownKeys_.get());

    // The controls that hand a typed character on to the search box.
    typeAheadControls_ = {w_.button_random,        w_.button_playpause,    w_.button_stop,
                          w_.button_refreshsonglist, w_.button_nextsong,   w_.button_previoussong,
                          w_.button_saveplaylist,  w_.button_loadplaylist, w_.Button1,
                          w_.button_tag,           w_.radio_add,           w_.radio_sub,
                          w_.search_entirestring,  w_.search_and,          w_.search_or};
    for (QObject *control : std::as_const(typeAheadControls_))
        control->installEventFilter(this);
    w_.songlist_grid->installEventFilter(this);
}

TKeyboardControl::~TKeyboardControl() = default;

void TKeyboardControl::switchHotKeys(bool on)
{
    actedInLastTick_.clear();
    if (!on) {
        w_.key_monitor.stop();
        keys_.setWatching(false);
        return;
    }
    keys_.setWatching(true);
    for (const int key : w_.skinSettings().hotKeys)
        keys_.getAsyncKeyState(key);
    w_.key_monitor.start();
    if (!keys_.global() && !hintShown_) {
        hintShown_ = true;
        w_.Button1->setToolTip(kNoGlobalKeysHint);
    }
}

void TKeyboardControl::key_monitorTimer()
{
    // An action may open a message box, whose loop runs this timer again;
    // the presses then wait for the box to close.
    if (inTick_)
        return;
    inTick_ = true;
    actedInLastTick_.clear();
    const auto keys = w_.skinSettings().hotKeys;
    for (const int hotKey : kTickOrder) {
        const int virtualKey = keys[static_cast<std::size_t>(hotKey)];
        if (keys_.getAsyncKeyState(virtualKey)) {
            actedInLastTick_.append(virtualKey);
            act(hotKey);
        }
    }
    inTick_ = false;
}

void TKeyboardControl::act(int hotKey)
{
    switch (hotKey) {
    case HotKey::Next:
        if (w_.randomMode)
            w_.button_randomClick();
        else
            w_.button_nextsongClick();
        break;
    case HotKey::PlayPause:
        w_.button_playpauseClick();
        break;
    case HotKey::Stop:
        w_.button_stopClick();
        break;
    case HotKey::Previous:
        w_.button_previoussongClick();
        break;
    case HotKey::VolumeDown:
        stepVolume(-kVolumeStep);
        break;
    case HotKey::VolumeUp:
        stepVolume(kVolumeStep);
        break;
    default:
        break;
    }
}

void TKeyboardControl::stepVolume(int delta)
{
    TAzVolumeBar *bar = w_.volumeBar();
    if (!bar)
        return;
    int value = bar->position() + delta;
    if (delta < 0)
        value = std::max(value, bar->minimum());
    else
        value = std::min(value, bar->maximum());
    // The bar keeps its place while the user drags the grip; the volume
    // then follows the grip.
    bar->setPosition(value);
    w_.setVolume(bar->position());
    w_.Image1->changed();
}

bool TKeyboardControl::hotKeyBound(int virtualKey) const
{
    const auto &keys = w_.skinSettings().hotKeys;
    return virtualKey > 0 && w_.key_monitor.isActive()
           && std::find(keys.begin(), keys.end(), virtualKey) != keys.end();
}

bool TKeyboardControl::pressTakenByHotKeys(int virtualKey)
{
    return hotKeyBound(virtualKey) && (actedInLastTick_.contains(virtualKey) || keys_.peekKeyState(virtualKey));
}

bool TKeyboardControl::Button1KeyDown(int key, Qt::KeyboardModifiers shift)
{
    if (std::find(std::begin(kControlKeys), std::end(kControlKeys), key) != std::end(kControlKeys))
        return false;
    const bool shiftHeld = shift & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    QLineEdit *query = w_.search_q;
    if (!shiftHeld) {
        const QString name = keyName(key, true);
        if (name.size() == 1)
            query->setText(name);
    }
    query->setFocus(Qt::OtherFocusReason);
    if (!shiftHeld)
        query->setCursorPosition(std::min(kCaretAfterTypeAhead, static_cast<int>(query->text().size())));
    return true;
}

bool TKeyboardControl::songlist_gridKeyDown(int key, Qt::KeyboardModifiers shift)
{
    // In tag mode the keys belong to the cell editor.
    if (w_.button_tag->text() == Caption::TagMode)
        return false;
    return Button1KeyDown(key, shift);
}

void TKeyboardControl::Button1Click()
{
    auto *editor = w_.findChild<Tskin_editor_form *>();
    if (!editor)
        return;
    // The hot keys rest while the editor is open; closing it reloads the
    // skin, which starts them again.
    w_.key_monitor.stop();
    editor->exec();
}

bool TKeyboardControl::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    const int virtualKey = virtualKeyFromQtKey(key->key());
    if (watched == w_.songlist_grid)
        return songlist_gridKeyDown(virtualKey, key->modifiers());
    if (typeAheadControls_.contains(watched))
        return Button1KeyDown(virtualKey, key->modifiers());
    return false;
}
