#pragma once

// Keyboard control of the main window: the global hot keys polled by
// key_monitor, and type-ahead, which turns a printable key typed on a button
// or in the grid into the search text.

#include "keystate.h"

#include <QObject>
#include <QString>

#include <memory>

class Melodeck;

class TKeyboardControl : public QObject
{
    Q_OBJECT

public:
    // Shown once on the skin editor's button where the desktop's keyboard
    // cannot be seen.
    static const QString kNoGlobalKeysHint;

    explicit TKeyboardControl(Melodeck &window);
    ~TKeyboardControl() override;

    // The last step of loading a skin. On: every hot key is asked about once
    // and the answer dropped, so presses made before do not act; then
    // key_monitor starts. Off: key_monitor stops.
    void switchHotKeys(bool on);
    void key_monitorTimer();
    // The one place a hot key acts (HotKey::Next and so on). Other ways of
    // reaching the same actions, such as media keys sent by the desktop, ask
    // hotKeyBound first, so that one press never acts twice.
    void act(int hotKey);
    bool hotKeyBound(int virtualKey) const;

    // True when the key was taken; false leaves it to the control.
    bool Button1KeyDown(int key, Qt::KeyboardModifiers shift);
    bool songlist_gridKeyDown(int key, Qt::KeyboardModifiers shift);
    // "Skin Editor": the hot keys rest while the editor is open.
    void Button1Click();

    TKeyState &keyState() { return keys_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void stepVolume(int delta);

    Melodeck &w_;
    TKeyState keys_;
    std::unique_ptr<QObject> ownKeys_;
    QList<QObject *> typeAheadControls_;
    bool inTick_ = false;
    bool hintShown_ = false;
};
