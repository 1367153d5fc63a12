#pragma once

#include <QString>

namespace lumora::platform {

// Keeps the system from sleeping while a study run is active; the display may still turn off.
// held() reports what the caller asked for: true from hold() to release(), also where the system
// offers no way to stay awake (that is logged once on lumora.study, and the run goes on).
class SleepInhibitor
{
public:
    virtual ~SleepInhibitor() = default;
    // Asks the system not to sleep, giving `why` where the system shows it. Holding again changes
    // nothing.
    virtual void hold(const QString& why) = 0;
    // Lets the system sleep again. Releasing what is not held changes nothing.
    virtual void release() = 0;
    virtual bool held() const = 0;
};

} // namespace lumora::platform
