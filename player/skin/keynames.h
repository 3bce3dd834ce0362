#pragma once

// Hot keys are stored as virtual-key numbers; these turn them into the names
// the user sees, and translate Qt's key codes to and from them.

#include <QString>

// The name of a virtual-key code; `lower` asks for lower-case letters.
// Unknown codes give "UNKNOWN_KEY (<code>)".
QString keyName(int virtualKey, bool lower = false);
// 0 when the key has no virtual-key number here.
int virtualKeyFromQtKey(int qtKey);
int qtKeyFromVirtualKey(int virtualKey);
