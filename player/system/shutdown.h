#pragma once

// Shutting the machine down through systemd-logind on the system bus (the
// bus named by $DBUS_SYSTEM_BUS_ADDRESS when it is set). Nothing is asked
// or saved first; the session's end closes the player like any program.

namespace ShutdownKind {
constexpr int Shutdown = 0;
constexpr int PowerOff = 1;
constexpr int Reboot = 2;
constexpr int LogOff = 3;
} // namespace ShutdownKind

// Kinds 0 and 1 power the machine off, 2 reboots it, 3 ends the session the
// player runs in. True when logind accepted the request; false for an
// unknown kind, no bus, no logind, or a refusal.
bool shutdownSystem(int kind);
