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

#include "platform/logging.h"

#include <QByteArray>
#include <QCoreApplication>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace lumora::platform::webengine {

namespace {

// glibc's allocator, left to itself, keeps what the engine frees over a night: its threshold for
// giving large blocks their own mapping rises with every large block freed, so the pages' texts
// and the engine's buffers end up inside the heap, where a small block that lives on pins each
// freed stretch; and every thread that allocates gets an arena of its own to keep free blocks
// in. Over a night's run, the memory freed and kept grew from 12 to 41 MB while what was in use
// grew by 6; with a fixed threshold and four arenas it stayed under 9 MB. Only this process's:
// the same settings in the engine's renderers slowed their pages and kept nothing back.
void keepTheHeapFromGrowing()
{
#if defined(__GLIBC__)
    constexpr int kOwnMappingFrom = 128 * 1024; // glibc's own starting threshold, kept
    constexpr int kArenas = 4;
    if (mallopt(M_MMAP_THRESHOLD, kOwnMappingFrom) == 0 || mallopt(M_ARENA_MAX, kArenas) == 0)
        qCWarning(lcEngine) << "the allocator's settings for a long run could not be made";
#endif
}

} // namespace

void WebEngineHost::prepareProcess()
{
    keepTheHeapFromGrowing();
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
