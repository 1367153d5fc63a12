// Cost of one study tick (timetable reload, credit, atomic save of the state file) on the fake
// engine, over 1,000 ticks. Prints median and max; the last line is "tick median ms: X".

#include "program_fixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace lumora::testing;

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    constexpr int kTicks = 1000;

    ProgramFixture f;
    f.writeState("demo\r\ndemo123\r\n\r\n\r\n\r\n\r\n");
    f.start();
    CoursePage site = makeCoursePage();
    f.showCoursePage(site);
    f.dispatch([&] { f.run().startStudy(); });

    std::vector<double> ms;
    ms.reserve(kTicks);
    QElapsedTimer clock;
    for (int i = 0; i < kTicks; ++i) {
        clock.start();
        f.timer().fire();
        ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    std::vector<double> sorted = ms;
    std::sort(sorted.begin(), sorted.end());
    const double median = sorted[sorted.size() / 2];
    std::printf("ticks: %d (lesson %d of category %d reached, state file %s)\n", kTicks,
                f.run().lessonIndex() + 1, f.catalogue().category(),
                f.readState().isEmpty() ? "missing" : "written");
    std::printf("tick max ms: %.3f\n", sorted.back());
    std::printf("tick p90 ms: %.3f\n", sorted[sorted.size() * 9 / 10]);
    std::printf("tick median ms: %.3f\n", median);
    return 0;
}
