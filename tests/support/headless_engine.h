#pragma once

// Process set-up for programs that run the real engine without a display: offscreen, no GPU,
// no background networking, and no sandbox when run as root (POSIX). Values already set are kept.
// Call before the QApplication is created.

#include "platform/webengine/webengine_host.h"

#include <QtGlobal>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace lumora::testing {

inline void prepareHeadlessEngine()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --disable-background-networking");
#ifdef Q_OS_UNIX
    // The sandbox refuses to run as root.
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
#endif
    platform::webengine::WebEngineHost::prepareProcess();
}

} // namespace lumora::testing
