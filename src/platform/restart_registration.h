#pragma once

#include <QString>
#include <QStringList>

namespace lumora::platform {

// Asks the system to start the program again should it end while registered, as the machine
// restarts for an update: on Windows through the restart manager (RegisterApplicationRestart,
// which also offers a restart after a crash; it restarts programs after an update only when the
// learner's "Restart apps" setting is on), elsewhere through the desktop's session manager
// where there is one (the session's restart hint, at the next login).
class RestartRegistration
{
public:
    virtual ~RestartRegistration() = default;
    // Registers the program to be started again with `arguments` (the program's own path is
    // added); registering again replaces them.
    virtual void hold(const QStringList& arguments) = 0;
    // Withdraws the registration: an end from now on is final.
    virtual void release() = 0;
};

// The real one, for the platforms that bring none of their own.
RestartRegistration& systemRestartRegistration();

} // namespace lumora::platform
