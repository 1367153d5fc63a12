// What the engine needs from the process, set before the application exists: shared OpenGL
// contexts, and the Chromium switches that keep a background page studying at full rate.
//
// While the window is minimised or hidden, Qt tells the engine that its pages are hidden, and
// the engine stops drawing them: most of what a playing lesson costs (in a measurement, a
// twentieth of the CPU is left). Chromium would also slow a hidden page's timers, lower its
// renderer's priority and pause or stop decoding its video; the switches below keep all of that
// at full rate, and js/foreground.js keeps the page from learning that it is hidden. Only what
// a page draws frame by frame (requestAnimationFrame) waits until the window is shown again.

#include "platform/webengine/webengine_host.h"

#include <QByteArray>
#include <QCoreApplication>

namespace lumora::platform::webengine {

void WebEngineHost::prepareProcess()
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    const auto add = [&flags](const QByteArray& flag) {
        flags += (flags.isEmpty() ? "" : " ") + flag;
    };
    // Hidden pages' timers at full rate, renderers at normal priority, covered windows not
    // treated as hidden.
    for (const char* flag :
         {"--disable-background-timer-throttling", "--disable-renderer-backgrounding",
          "--disable-backgrounding-occluded-windows"}) {
        if (!flags.contains(flag))
            add(flag);
    }
    // Chromium features that go, merged into a --disable-features list given:
    //  - a video without sound is paused as soon as its page is hidden;
    //  - a video with sound stops decoding its pictures in a hidden page (its count of frames
    //    stands still);
    //  - pages left behind are kept alive for going back, which the program never does: over a
    //    long run every player it left would hold on to memory.
    const QByteArray disable = "--disable-features=";
    for (const char* feature : {"BackgroundVideoPauseOptimization",
                                "BackgroundVideoTrackOptimization", "BackForwardCache"}) {
        if (flags.contains(feature))
            continue;
        if (flags.contains(disable))
            flags.replace(disable, disable + QByteArray(feature) + ',');
        else
            add(disable + feature);
    }
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
}

} // namespace lumora::platform::webengine
