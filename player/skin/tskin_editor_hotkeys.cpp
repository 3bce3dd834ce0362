// The skin editor's six hot-key fields: a key pressed on one of them empties
// it, and its release names the key and takes it as the hot key.

#include "tskin_editor_form.h"

#include "keynames.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>

namespace {

// A modifier key's own release still reports the modifier as held; taken
// alone, the key is no combination.
Qt::KeyboardModifiers withoutOwnModifier(int virtualKey, Qt::KeyboardModifiers held)
{
    switch (virtualKey) {
    case 16:
        return held & ~Qt::ShiftModifier;
    case 17:
        return held & ~Qt::ControlModifier;
    case 18:
        return held & ~Qt::AltModifier;
    default:
        return held;
    }
}

} // namespace

bool Tskin_editor_form::eventFilter(QObject *watched, QEvent *event)
{
    const auto edits = hotKeyEdits();
    const auto found = std::find(edits.begin(), edits.end(), watched);
    if (found == edits.end() || (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease))
        return QDialog::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    // Tab keeps moving the focus; its release lands on the next edit and is
    // no choice of key.
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
        return false;
    if (key->isAutoRepeat())
        return true;
    const int index = static_cast<int>(found - edits.begin());
    if (event->type() == QEvent::KeyPress) {
        hotKeyDown(index);
    } else {
        const int virtualKey = virtualKeyOf(*key);
        hotKeyUp(index, virtualKey, withoutOwnModifier(virtualKey, key->modifiers()),
                 QGuiApplication::mouseButtons());
    }
    return true;
}

void Tskin_editor_form::hotKeyDown(int index)
{
    hotKeyEdits()[static_cast<std::size_t>(index)]->clear();
}

void Tskin_editor_form::hotKeyUp(int index, int key, Qt::KeyboardModifiers shift, Qt::MouseButtons buttons)
{
    QLineEdit *edit = hotKeyEdits()[static_cast<std::size_t>(index)];
    const bool combination = shift & (Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier);
    if (combination || buttons != Qt::NoButton) {
        edit->clear();
        return;
    }
    edit->setText(keyName(key, false));
    if (links_.hotKeys)
        (*links_.hotKeys)[static_cast<std::size_t>(index)] = key;
}

void Tskin_editor_form::nextKeyDown() { hotKeyDown(HotKey::Next); }
void Tskin_editor_form::prevKeyDown() { hotKeyDown(HotKey::Previous); }
void Tskin_editor_form::playKeyDown() { hotKeyDown(HotKey::PlayPause); }
void Tskin_editor_form::stopKeyDown() { hotKeyDown(HotKey::Stop); }
void Tskin_editor_form::voldownKeyDown() { hotKeyDown(HotKey::VolumeDown); }
void Tskin_editor_form::volupKeyDown() { hotKeyDown(HotKey::VolumeUp); }

void Tskin_editor_form::nextKeyUp(int key, Qt::KeyboardModifiers shift, Qt::MouseButtons buttons)
{
    hotKeyUp(HotKey::Next, key, shift, buttons);
}
void Tskin_editor_form::prevKeyUp(int key, Qt::KeyboardModifiers shift, Qt::MouseButtons buttons)
{
    hotKeyUp(HotKey::Previous, key, shift, buttons);
}
void Tskin_editor_form::playKeyUp(int key, Qt::KeyboardModifiers shift, Qt::MouseButtons buttons)
{
    hotKeyUp(HotKey::PlayPause, key, shift, buttons);
}
void Tskin_editor_form::stopKeyUp(int key, Qt::KeyboardModifiers shift, Qt::MouseButtons buttons)
{
    hotKeyUp(HotKey::Stop, key, shift, buttons);
}
void Tskin_editor_form::voldownKeyUp(int key, Qt::KeyboardModifiers shift, Qt::MouseButtons buttons)
{
    hotKeyUp(HotKey::VolumeDown, key, shift, buttons);
}
void Tskin_editor_form::volupKeyUp(int key, Qt::KeyboardModifiers shift, Qt::MouseButtons buttons)
{
    hotKeyUp(HotKey::VolumeUp, key, shift, buttons);
}
