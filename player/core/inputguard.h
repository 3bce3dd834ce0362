#pragma once

// Whether the window's own mouse handlers on a control may act. Event
// filters see a click before Qt drops it for a disabled widget, so every
// filter that turns clicks into list changes asks here first: a disabled
// control (a scan is filling a table) leaves them out. A mode that gives the
// mouse to the controls themselves, such as editing cells in the grid, holds
// them off as well; the events then go to the controls untouched.

#include <cstdint>

class QWidget;

class TInputGuard
{
public:
    enum class Hold : std::uint8_t {
        TagMode = 1u << 0,
    };

    // True when control exists, is enabled (with all its parents) and no
    // hold is on.
    bool allows(const QWidget *control) const;

    void setHold(Hold hold, bool on);
    bool isHeld(Hold hold) const { return (holds_ & static_cast<std::uint8_t>(hold)) != 0; }

private:
    std::uint8_t holds_ = 0;
};
