#include "soak_faults.h"

#include <atomic>
#include <memory>

namespace lumora::bench {

namespace {

constexpr std::int64_t kSleepFor = 30 * kMinute;
constexpr int kSlowPageMs = 4000;                   // the course page and the lesson list
constexpr int kSlowFrameMs = 30'000;                // the course frame, for an hour
constexpr std::int64_t kVideoOutage = 20 * kMinute; // every video source answers 404 meanwhile
constexpr std::int64_t kLoginsRefused = 3 * kMinute;
constexpr int kEntryPageSeconds = 5;

std::atomic_bool g_courseFrameLate = false;

} // namespace

bool courseFrameLate()
{
    return g_courseFrameLate;
}

std::vector<Fault> faultSchedule(site::SiteServer& site, SimulatedClock& clock,
                                 std::function<void()> woke)
{
    const auto endSessionsUnderPlayer = [&site] {
        site.setEndedSessionKeepsPlayer(true);
        site.endAllSessions();
        return true;
    };
    const auto hangOne = [&site] {
        site.hangNextPlayers(1);
        return true;
    };
    const auto playersGoToLogin = [&site] {
        site.setEndedSessionKeepsPlayer(false);
        return true;
    };
    const auto videosEndAfter = [&site](int seconds) {
        return [&site, seconds] {
            site.setVideoSeconds(seconds);
            return true;
        };
    };
    const auto maintenance = [&site](bool on) {
        return [&site, on] {
            site.setMaintenance(on);
            return true;
        };
    };
    const auto overlayAfter = [&site](int seconds) {
        return [&site, seconds] {
            site.setOverlayAfter(seconds);
            return true;
        };
    };
    const auto courseFrameLate = [&site](int ms) {
        return [&site, ms] {
            site.setPathDelay(QStringLiteral("/course/frame/course"), ms);
            g_courseFrameLate = ms > 0;
            return true;
        };
    };
    // Until when logins are refused (simulated clock), from the moment the refusal began.
    const auto refusedUntil = std::make_shared<std::int64_t>(0);
    return {
        {0, QStringLiteral("one lesson's video answers 404, all night"),
         [&site] {
             site.setLessonMedia(kMissingVideo.first, kMissingVideo.second,
                                 site::PlayerMedia::Missing);
             return true;
         }},
        {0, QStringLiteral("one lesson is an <audio> lesson, all night"),
         [&site] {
             site.setLessonMedia(kAudioLesson.first, kAudioLesson.second, site::PlayerMedia::Audio);
             return true;
         }},
        {0,
         QStringLiteral("category %1's lessons open an entry page first, all night")
             .arg(kEntryPageCategory),
         [&site] {
             site.setEntryPage(
                 kEntryPageCategory,
                 site::EntryPage{kEntryPageSeconds, site::EntryPage::Method::Replace});
             return true;
         }},
        // After the first lesson has opened, so that a run that cannot open a category on a
        // slow site still meets the other faults.
        {kHour, QStringLiteral("the course page and the lesson list are slow, all night"),
         [&site] {
             site.setPathDelay(QStringLiteral("/course/main"), kSlowPageMs);
             site.setPathDelay(QStringLiteral("/course/lessons"), kSlowPageMs);
             return true;
         }},
        {2 * kHour, QStringLiteral("a player hangs"), hangOne},
        {3 * kHour, QStringLiteral("videos end after 10 min"), videosEndAfter(10 * 60)},
        {5 * kHour, QStringLiteral("sessions end under an open player"), endSessionsUnderPlayer},
        {5 * kHour + 30 * kMinute, QStringLiteral("ended players go to the login page"),
         playersGoToLogin},
        {8 * kHour, QStringLiteral("stall"), [&site] { return site.beginStall(); }, Fault::Begins},
        {8 * kHour + 10 * kMinute, QStringLiteral("stall ends"),
         [&site] { return site.endStall(); }, Fault::Ends},
        {9 * kHour, QStringLiteral("videos never end"), videosEndAfter(0)},
        {10 * kHour, QStringLiteral("maintenance"), maintenance(true), Fault::Begins},
        {11 * kHour, QStringLiteral("maintenance ends"), maintenance(false), Fault::Ends},
        {12 * kHour, QStringLiteral("outage"), [&site] { return site.beginOutage(); },
         Fault::Begins},
        {12 * kHour + 15 * kMinute, QStringLiteral("outage ends"),
         [&site] { return site.endOutage(); }, Fault::Ends},
        {13 * kHour, QStringLiteral("ended sessions get the timeout page, from now on"),
         [&site] {
             site.setEndedSessionPage(site::EndedSessionPage::TimeoutPage);
             return true;
         }},
        // The re-login that follows is refused a while: the program waits it out.
        {14 * kHour, QStringLiteral("logins refused for 3 min (系统维护中)"),
         [&site, refusedUntil] {
             site.refuseLogins(kLoginsRefused, QStringLiteral("系统维护中，暂停登录，请稍后再试"));
             *refusedUntil = simulatedNowMs() + kLoginsRefused;
             return true;
         },
         Fault::Begins},
        {14 * kHour, QStringLiteral("sessions end under an open player"), endSessionsUnderPlayer},
        {14 * kHour + kLoginsRefused, QStringLiteral("logins taken again"),
         [refusedUntil] { return simulatedNowMs() >= *refusedUntil; }, Fault::Ends},
        {14 * kHour + 30 * kMinute, QStringLiteral("ended players go to the login page"),
         playersGoToLogin},
        {15 * kHour, QStringLiteral("every video source answers 404 for 20 min"),
         [&site] {
             site.setVideoOutage(404, kVideoOutage);
             return true;
         },
         Fault::Begins},
        {15 * kHour + kVideoOutage, QStringLiteral("the videos are back"),
         [&site] { return !site.inVideoOutage(); }, Fault::Ends},
        {17 * kHour, QStringLiteral("a player hangs"), hangOne},
        // What the program fetches to check its session answers late.
        {18 * kHour, QStringLiteral("the course frame answers 30 s late"),
         courseFrameLate(kSlowFrameMs)},
        {19 * kHour, QStringLiteral("the course frame answers at once"), courseFrameLate(0)},
        {20 * kHour, QStringLiteral("sessions end under an open player"), endSessionsUnderPlayer},
        {20 * kHour + 30 * kMinute, QStringLiteral("ended players go to the login page"),
         playersGoToLogin},
        {26 * kHour, QStringLiteral("the machine sleeps"),
         [&clock] {
             clock.asleep = true;
             return true;
         },
         Fault::Begins},
        {26 * kHour + kSleepFor / 2, QStringLiteral("sessions end during the sleep"),
         endSessionsUnderPlayer},
        {26 * kHour + kSleepFor, QStringLiteral("the machine wakes"),
         [&clock, woke] {
             clock.slept += std::chrono::milliseconds(kSleepFor);
             clock.asleep = false;
             woke();
             return true;
         },
         Fault::Ends},
        {27 * kHour, QStringLiteral("ended players go to the login page"), playersGoToLogin},
        // After the day's cap and its wait (the first site day ends at 24 h), so that the
        // program meets it.
        {28 * kHour, QStringLiteral("players pause behind a question after 15 min"),
         overlayAfter(15 * 60)},
        {30 * kHour, QStringLiteral("players ask no question"), overlayAfter(0)},
    };
}

std::vector<std::pair<std::int64_t, std::int64_t>> excusedWindows(const std::vector<Fault>& faults,
                                                                  std::int64_t runStartMs)
{
    std::vector<std::pair<std::int64_t, std::int64_t>> excused;
    for (const Fault& fault : faults) {
        if (fault.firedMs < 0)
            continue;
        const std::int64_t at = runStartMs + fault.firedMs;
        if (fault.window == Fault::Begins)
            excused.emplace_back(at, INT64_MAX);
        else if (fault.window == Fault::Ends && !excused.empty())
            excused.back().second = at;
    }
    return excused;
}

} // namespace lumora::bench
