#pragma once

// Keyboard control of the main window: the global hot keys polled by
// key_monitor, and type-ahead, which turns a printable key typed on a button
// or in the grid into the search text.

#include "keystate.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;
class TAzVolumeBar;
class Tskin_editor_form;
struct TSkinSettings;

// What keyboard control uses of the main window, handed over at creation.
struct TKeyboardLinks
{
    QTimer &key_monitor;
    // The stored skin settings: the six hot keys and their switch.
    const TSkinSettings &skin;
    const bool &randomMode;
    QLineEdit &search_q;
    QTableView &songlist_grid;
    // Its caption tells tag mode.
    const QPushButton &button_tag;
    // "Skin Editor": carries the hint where the hot keys act only inside the
    // program.
    QPushButton &Button1;
    // The buttons and radio buttons whose typed characters go to the search
    // box.
    QList<QObject *> typeAheadControls{};
    // The actions of the hot keys.
    std::function<void()> button_nextsongClick{};
    std::function<void()> button_randomClick{};
    std::function<void()> button_playpauseClick{};
    std::function<void()> button_stopClick{};
    std::function<void()> button_previoussongClick{};
    // The volume bar of the present skin (null before one is loaded), the
    // volume towards the audio library, and the redraw of the skin picture.
    std::function<TAzVolumeBar *()> volumeBar{};
    std::function<void(int percent)> setVolume{};
    std::function<void()> redrawSkin{};
    // The skin editor once it exists.
    std::function<Tskin_editor_form *()> skinEditor{};
};

class TKeyboardControl : public QObject
{
    Q_OBJECT

public:
    // Shown once on the skin editor's button where the desktop's keyboard
    // cannot be seen.
    static const QString kNoGlobalKeysHint;

    explicit TKeyboardControl(TKeyboardLinks links);
    ~TKeyboardControl() override;

    // The last step of loading a skin. On: every hot key is asked about once
    // and the answer dropped, so presses made before do not act; then
    // key_monitor starts. Off: key_monitor stops.
    void switchHotKeys(bool on);
    void key_monitorTimer();
    // The one place a hot key acts (HotKey::Next and so on). Other ways of
    // reaching the same actions, such as media keys sent by the desktop, ask
    // pressTakenByHotKeys first, so that one press never acts twice.
    void act(int hotKey);
    bool hotKeyBound(int virtualKey) const;
    // True when the hot keys act on the present press of the key: it is a
    // bound hot key, and it is down, waits for key_monitor's next tick, or
    // acted in the last one (a request for the press may come after the tick
    // that took it). While the skin editor is open the hot keys rest, and so
    // does the other way to their actions: a key that is a hot key, or any
    // key while a hot-key field has the focus, counts as taken.
    bool pressTakenByHotKeys(int virtualKey);

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

    bool choosingHotKey() const;

    TKeyboardLinks links_;
    TKeyState keys_;
    std::unique_ptr<QObject> ownKeys_;
    QList<int> actedInLastTick_;
    bool inTick_ = false;
    bool editorOpen_ = false;
    bool hintShown_ = false;
};
