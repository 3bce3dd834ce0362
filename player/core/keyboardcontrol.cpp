#include "keyboardcontrol.h"

#include "az_volume_bar.h"
#include "captions.h"
#include "keynames.h"
#include "skinsettings.h"
#include "tskin_editor_form.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <utility>

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
            const int virtualKey = virtualKeyOf(*key);
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

TKeyboardControl::TKeyboardControl(TKeyboardLinks links)
    : links_(std::move(links)), keys_(QGuiApplication::platformName() == u"xcb"_s)
{
    ownKeys_ = std::make_unique<OwnKeyFeed>(keys_);
    QCoreApplication::instance()->installEventFilter(ownKeys_.get());

    for (QObject *control : std::as_const(links_.typeAheadControls))
        control->installEventFilter(this);
    links_.songlist_grid.installEventFilter(this);
}

TKeyboardControl::~TKeyboardControl() = default;

void TKeyboardControl::switchHotKeys(bool on)
{
    actedInLastTick_.clear();
    if (!on) {
        links_.key_monitor.stop();
        keys_.setWatching(false);
        return;
    }
    keys_.setWatching(true);
    for (const int key : links_.skin.hotKeys)
        keys_.getAsyncKeyState(key);
    links_.key_monitor.start();
    if (!keys_.global() && !hintShown_) {
        hintShown_ = true;
        links_.Button1.setToolTip(kNoGlobalKeysHint);
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
    const auto keys = links_.skin.hotKeys;
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
        if (links_.randomMode)
            links_.button_randomClick();
        else
            links_.button_nextsongClick();
        break;
    case HotKey::PlayPause:
        links_.button_playpauseClick();
        break;
    case HotKey::Stop:
        links_.button_stopClick();
        break;
    case HotKey::Previous:
        links_.button_previoussongClick();
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
    TAzVolumeBar *bar = links_.volumeBar ? links_.volumeBar() : nullptr;
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
    links_.setVolume(bar->position());
    links_.redrawSkin();
}

bool TKeyboardControl::hotKeyBound(int virtualKey) const
{
    const auto &keys = links_.skin.hotKeys;
    return virtualKey > 0 && links_.key_monitor.isActive()
           && std::find(keys.begin(), keys.end(), virtualKey) != keys.end();
}

bool TKeyboardControl::choosingHotKey() const
{
    Tskin_editor_form *editor = links_.skinEditor ? links_.skinEditor() : nullptr;
    if (!editor)
        return false;
    // The editor's own focus, also while another program is active.
    const auto edits = editor->hotKeyEdits();
    return std::find(edits.begin(), edits.end(), editor->focusWidget()) != edits.end();
}

bool TKeyboardControl::pressTakenByHotKeys(int virtualKey)
{
    if (editorOpen_) {
        // The user may be pressing the key to choose it.
        const auto &keys = links_.skin.hotKeys;
        const bool hotKey = links_.skin.hotKeysOn && std::find(keys.begin(), keys.end(), virtualKey) != keys.end();
        return virtualKey > 0 && (hotKey || choosingHotKey());
    }
    return hotKeyBound(virtualKey) && (actedInLastTick_.contains(virtualKey) || keys_.peekKeyState(virtualKey));
}

bool TKeyboardControl::Button1KeyDown(int key, Qt::KeyboardModifiers shift)
{
    if (std::find(std::begin(kControlKeys), std::end(kControlKeys), key) != std::end(kControlKeys))
        return false;
    const bool shiftHeld = shift & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    QLineEdit *query = &links_.search_q;
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
    if (links_.button_tag.text() == Caption::TagMode)
        return false;
    return Button1KeyDown(key, shift);
}

void TKeyboardControl::Button1Click()
{
    Tskin_editor_form *editor = links_.skinEditor ? links_.skinEditor() : nullptr;
    if (!editor)
        return;
    // The hot keys rest while the editor is open; closing it reloads the
    // skin, which starts them again.
    links_.key_monitor.stop();
    editorOpen_ = true;
    editor->exec();
    editorOpen_ = false;
}

bool TKeyboardControl::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    const int virtualKey = virtualKeyFromQtKey(key->key());
    if (watched == &links_.songlist_grid)
        return songlist_gridKeyDown(virtualKey, key->modifiers());
    if (links_.typeAheadControls.contains(watched))
        return Button1KeyDown(virtualKey, key->modifiers());
    return false;
}
