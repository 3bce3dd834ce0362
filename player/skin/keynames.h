#pragma once

// Hot keys are stored as virtual-key numbers; these turn them into the names
// the user sees, and translate Qt's key codes to and from them.

#include <QString>
#include <Qt>

class QKeyEvent;

// The name of a virtual-key code; `lower` asks for lower-case letters.
// Unknown codes give "UNKNOWN_KEY (<code>)".
QString keyName(int virtualKey, bool lower = false);
// The code a key gives: Qt's key with the key pad's modifier, and the X key
// code where the event came from an X server (0 elsewhere), which places a
// punctuation key of a layout whose character has no code of its own. 0 when
// the key has no virtual-key number here.
int virtualKeyFromQtKey(int qtKey, Qt::KeyboardModifiers modifiers = {}, int x11KeyCode = 0);
// The code of a key event of this program's windows.
int virtualKeyOf(const QKeyEvent &event);
// The code of the punctuation key or of F13 to F24 at that X key code on a
// US layout; 0 for other keys.
int virtualKeyAtX11KeyCode(int x11KeyCode);
int qtKeyFromVirtualKey(int virtualKey);
