#include "inputguard.h"

#include <QWidget>

bool TInputGuard::allows(const QWidget *control) const
{
    return control != nullptr && control->isEnabled() && holds_ == 0;
}

void TInputGuard::setHold(Hold hold, bool on)
{
    const auto bit = static_cast<std::uint8_t>(hold);
    holds_ = on ? static_cast<std::uint8_t>(holds_ | bit) : static_cast<std::uint8_t>(holds_ & ~bit);
}
