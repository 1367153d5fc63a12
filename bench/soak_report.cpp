#include "soak_report.h"

#include "study/study_run.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>

namespace lumora::bench {

namespace {

double minutes(std::int64_t ms)
{
    return static_cast<double>(ms) / kMinute;
}

// Every lesson at the end: the program's minutes and credits beside the site's counts; the
// lessons that do not add up are printed.
std::vector<LessonFacts> lessonFacts(const records::MinuteRecords& minutesKept, const RunLog& log,
                                     const site::LessonTotals& record,
                                     const site::LessonTotals& watched,
                                     const site::LessonTotals& pageTime)
{
    std::vector<LessonFacts> lessons;
    for (int c = 0; c < records::kCategoryCount; ++c) {
        for (int i = 0; i < minutesKept.lessonCount(c); ++i) {
            const records::LessonMinutes m = *minutesKept.lesson(c, i);
            const Lesson lesson{c, i};
            const auto credited = log.creditedBy.find(lesson);
            LessonFacts facts{lesson,
                              m.required,
                              m.done(),
                              log.doneInRun.contains(lesson),
                              credited == log.creditedBy.end() ? 0 : credited->second,
                              lessonMs(record, lesson),
                              lessonMs(watched, lesson)};
            const bool shortOne = isShort(facts, &LessonFacts::recordMs);
            if (shortOne || facts.credited > facts.recordMs / kMinute + 1)
                std::printf("category %d lesson %d: required %d min, studied %d, credited %d, the "
                            "site's record %.1f min (watched %.1f, its page open %.1f)%s\n",
                            c, i + 1, m.required, m.studied, facts.credited,
                            minutes(facts.recordMs), minutes(facts.watchedMs),
                            minutes(lessonMs(pageTime, lesson)),
                            !shortOne  ? ""
                            : m.done() ? " (short)"
                                       : " (not done)");
            lessons.push_back(facts);
        }
    }
    return lessons;
}

const LessonFacts& factsOf(const std::vector<LessonFacts>& lessons, Lesson lesson)
{
    return *std::find_if(lessons.begin(), lessons.end(),
                         [lesson](const LessonFacts& f) { return f.lesson == lesson; });
}

// The lessons of the shapes that a correct program neither skips nor leaves short, and the one
// it must skip.
void printLessonShapes(const std::vector<LessonFacts>& lessons, const RunLog& log,
                       bool missingSkipped)
{
    std::printf("lesson %d-%d, whose video answers 404 all night: %s\n", kMissingVideo.first,
                kMissingVideo.second + 1,
                missingSkipped ? "skipped, nothing credited (as it must)"
                               : "NOT skipped with nothing credited");
    const LessonFacts& audio = factsOf(lessons, kAudioLesson);
    std::printf("lesson %d-%d, an <audio> lesson: the record %.1f of %d min, credited %d%s\n",
                kAudioLesson.first, kAudioLesson.second + 1, minutes(audio.recordMs),
                audio.required, audio.credited,
                log.skippedLessons.contains(kAudioLesson) ? ", SKIPPED" : "");
    int entryDone = 0;
    int entryLessons = 0;
    QStringList entrySkipped;
    for (const LessonFacts& facts : lessons) {
        if (facts.lesson.first != kEntryPageCategory)
            continue;
        ++entryLessons;
        entryDone += isShort(facts, &LessonFacts::recordMs) ? 0 : 1;
        if (log.skippedLessons.contains(facts.lesson))
            entrySkipped << QString::number(facts.lesson.second + 1);
    }
    std::printf("category %d, behind entry pages: %d of %d lessons done by the record%s%s\n",
                kEntryPageCategory, entryDone, entryLessons,
                entrySkipped.isEmpty() ? "" : ", SKIPPED: ",
                qPrintable(entrySkipped.join(QLatin1Char(' '))));
}

// The judge's own checks: the record the soak polled is what the site's progress reports moved
// into it, the cap met by the record's day beside the first report refused, and the first lesson
// the program left done beside the record's minutes. Whether the record and the reports agree.
bool printJudgeChecks(const Night& night, const std::vector<LessonFacts>& lessons,
                      const std::function<QString(std::int64_t)>& hourText)
{
    const SiteLog& siteLog = night.siteLog;
    const CountSeries& record = night.record;
    const bool agree = !siteLog.complete || siteLog.progressCreditedMs == record.totalMs();
    std::printf("judge check: the record polled %.2f min, the site's reports moved %.2f min "
                "(%lld events%s): %s\n",
                minutes(record.totalMs()), minutes(siteLog.progressCreditedMs),
                static_cast<long long>(siteLog.events), siteLog.complete ? "" : ", not all kept",
                !siteLog.complete ? "not comparable"
                : agree           ? "agree"
                                  : "DISAGREE");
    std::printf("judge check: the cap reached by the record's day at %s, the first report "
                "refused at %s; site days capped: %zu\n",
                qPrintable(hourText(record.capReachedMs())),
                qPrintable(hourText(siteLog.firstCappedMs)), siteLog.cappedDays.size());
    if (night.firstDone && night.log.firstDone) {
        const LessonFacts& facts = factsOf(lessons, *night.log.firstDone);
        std::printf("judge check: lesson %d-%d, the first the program left done (%.2f h): the "
                    "program's %d min (required %d), the record's %.1f min then, %.1f at the "
                    "end: %s by the record\n",
                    facts.lesson.first, facts.lesson.second + 1, night.firstDone->hour,
                    night.firstDone->studied, facts.required, minutes(night.firstDone->recordMs),
                    minutes(facts.recordMs),
                    isShort(facts, &LessonFacts::recordMs) ? "short" : "done");
    }
    return agree;
}

void printMemory(const NightMemory& memory, const std::map<QString, RolePss>& first,
                 const std::map<QString, RolePss>& last)
{
    std::printf("pss after the first lesson: %s\n", qPrintable(describe(first)));
    std::printf("pss at the end:             %s\n", qPrintable(describe(last)));
    std::printf("pss at the end, with the site's record: %s\n",
                qPrintable(describe(pssByRole(memory.beforeReset))));
    std::printf("this process's heap in use with the site's record: %s MB, without: %s MB\n",
                qPrintable(megabytes(memory.heapBeforeResetKb)),
                qPrintable(megabytes(memory.heapAfterResetKb)));
    std::printf("pss over the run:\n%s\n", qPrintable(memory.series.join('\n')));
}

} // namespace

bool reportNight(const Night& night)
{
    const RunLog& log = night.log;
    const CountSeries& record = night.record;
    const CountSeries& watched = night.watched;
    const SiteLog& siteLog = night.siteLog;
    const std::vector<Fault>& faults = night.faults;
    const std::int64_t wokeAtMs = night.wokeAtMs;
    const std::int64_t runMs = night.runMs;
    const std::int64_t runEndMs = night.runEndMs;
    // The lessons, by the site's record and, for comparison, by the heartbeats' watched time.
    const std::vector<LessonFacts> lessons =
        lessonFacts(night.minutesKept, log, record.last(), watched.last(), night.pageTime);
    const LessonVerdicts byRecord = judgeLessons(lessons, &LessonFacts::recordMs);
    const LessonVerdicts byWatched = judgeLessons(lessons, &LessonFacts::watchedMs);
    int idealMinutes = 0; // the timetable's own minimum: every lesson's required minutes plus one
    for (const LessonFacts& facts : lessons)
        idealMinutes += facts.required + 1;
    const LessonFacts& missing = factsOf(lessons, kMissingVideo);
    const bool missingSkipped =
        log.skippedLessons.contains(kMissingVideo) && missing.credited == 0 && !missing.programDone;
    const int skippedCount = static_cast<int>(log.skippedLessons.size());
    const bool onlyMissingSkipped = skippedCount == 0 || (skippedCount == 1 && missingSkipped);

    // The day's cap: from the first report it refused (else from when the record's day reached
    // it) to the next site day, in which the site counts nothing.
    const std::int64_t capFromMs =
        siteLog.firstCappedMs >= 0 ? siteLog.firstCappedMs : record.capReachedMs();
    const std::pair<std::int64_t, std::int64_t> capWait =
        capFromMs < 0 ? std::pair<std::int64_t, std::int64_t>{-1, -1}
                      : std::pair{capFromMs, (capFromMs / kSiteDay + 1) * kSiteDay};
    const NotCounted notCounted = creditedWhileNotCounting(log.credits, record, capWait);
    // The run cannot know when the site's day turns: it looks every kLookEvery, so the wait
    // lasts until its first look after the new day, or until the record grows, if sooner.
    std::int64_t resumedMs = capWait.second;
    if (capFromMs >= 0) {
        const std::int64_t lookDue =
            capWait.second +
            std::chrono::duration_cast<std::chrono::milliseconds>(study::StudyRun::kLookEvery)
                .count();
        const auto grew =
            std::upper_bound(record.minutes().begin(), record.minutes().end(), capWait.second);
        resumedMs = grew == record.minutes().end() ? lookDue : std::min(*grew, lookDue);
    }
    const std::int64_t capWaitMs = resumedMs - capWait.first;

    // After the wake-up the session had ended: a minute credited before the site saw the
    // program log in again was credited on what the program knew before the sleep.
    int creditedBeforeLogin = -1;
    if (wokeAtMs >= 0) {
        const auto login = std::lower_bound(siteLog.logins.begin(), siteLog.logins.end(), wokeAtMs);
        const std::int64_t loginMs = login == siteLog.logins.end() ? INT64_MAX : *login;
        creditedBeforeLogin = static_cast<int>(
            std::count_if(log.credits.begin(), log.credits.end(), [&](const Credit& credit) {
                return credit.atMs >= wokeAtMs && credit.atMs < loginMs;
            }));
    }

    std::map<QString, RolePss> first = pssByRole(night.memory.first);
    std::map<QString, RolePss> last = pssByRole(night.memory.end);
    const long long firstKb = first[QStringLiteral("total")].kb;
    const long long lastKb = last[QStringLiteral("total")].kb;
    const double growth =
        firstKb > 0 ? 100.0 * static_cast<double>(lastKb - firstKb) / static_cast<double>(firstKb)
                    : 0.0;

    const auto runHour = [&log](std::int64_t siteMs) {
        return static_cast<double>(siteMs - log.runStartMs) / kHour;
    };
    QStringList fired;
    bool allFaults = true;
    for (const Fault& fault : faults) {
        fired << QStringLiteral("%1 at %2 h")
                     .arg(
                         fault.what,
                         fault.firedMs < 0
                             ? QStringLiteral("-")
                             : QString::number(static_cast<double>(fault.firedMs) / kHour, 'f', 2));
        allFaults = allFaults && fault.firedMs >= 0;
    }
    if (capFromMs >= 0)
        fired << QStringLiteral("the day's cap (%1 min) at %2 h, the next site day at %3 h, "
                                "counted again at %4 h")
                     .arg(kDailyCapMinutes)
                     .arg(runHour(capWait.first), 0, 'f', 2)
                     .arg(runHour(capWait.second), 0, 'f', 2)
                     .arg(runHour(resumedMs), 0, 'f', 2);
    else
        fired << QStringLiteral("the day's cap (%1 min) never reached").arg(kDailyCapMinutes);

    // The site-made and machine-made windows and the cap's wait: the record cannot count.
    Windows excused = excusedWindows(faults, log.runStartMs);
    if (capFromMs >= 0)
        excused.emplace_back(capWait.first, resumedMs);
    const Stalls stall = longestStall(record.minutes(), log.runStartMs, runEndMs, excused);
    QStringList lostPerRecovery;
    for (const std::int64_t end : siteLog.sessionEnds) {
        const auto next = std::upper_bound(record.minutes().begin(), record.minutes().end(), end);
        lostPerRecovery << (next == record.minutes().end()
                                ? QStringLiteral("never")
                                : QString::number(minutes(*next - end), 'f', 1));
    }

    std::printf("simulated time: %.1f h in %.1f min of real time (x%lld)\n",
                static_cast<double>(runMs) / kHour, static_cast<double>(night.realMs) / 60000.0,
                static_cast<long long>(kSpeedup));
    std::printf("faults: %s\n", qPrintable(fired.join(QStringLiteral("; "))));
    std::printf("the program's run: %s\n", qPrintable(log.siteView.join(QStringLiteral("; "))));
    std::printf("minutes credited by the program: %zu; lessons skipped: %d, of them given back "
                "to the run: %d\n",
                log.credits.size(), log.skipped, log.givenBack);
    std::printf("players opened again: %d; session recoveries: %d; resumed after (min): %s; "
                "logins refused for maintenance: %d\n",
                log.reopened, log.recoveries, qPrintable(log.resumes.join(QLatin1Char(' '))),
                siteLog.refusedLogins);
    std::printf("minutes credited after the wake-up before the site saw a new login: %d\n",
                creditedBeforeLogin);
    printLessonShapes(lessons, log, missingSkipped);
    std::printf("credited while the site did not count: %d min in the cap's wait, %d with their "
                "lesson's record still\n",
                notCounted.inCapWait, notCounted.recordStill);
    std::printf("minutes counted by the site's record: %zu; by the heartbeats' watched time: %zu "
                "(by it: done %d, short %d, over-credited %d min, site-short %d)\n",
                record.minutes().size(), watched.minutes().size(), byWatched.done,
                byWatched.shortInRun, byWatched.overCredited, byWatched.siteShort);
    std::printf("longest stretch without a minute in the record: %.1f simulated min outside the "
                "site's own faults, the sleep and the cap's wait, from %.2f h; %.1f min for the "
                "longest one that overlapped them\n",
                minutes(stall.longest), runHour(stall.longestFromMs),
                minutes(stall.longestExcused));
    std::printf("program's waits: %d, %d of them lengthened for the engine, %.1f s in all\n",
                night.engine.waits, night.engine.lengthened,
                static_cast<double>(night.engine.realWaitMs) / 1000);
    std::printf("ticks held for a page to load or an answer: %d, %.1f s in all\n",
                night.engine.heldTicks, static_cast<double>(night.engine.heldRealMs) / 1000);

    const auto hourText = [&runHour](std::int64_t siteMs) {
        return siteMs < 0 ? QStringLiteral("never")
                          : QStringLiteral("%1 h").arg(runHour(siteMs), 0, 'f', 2);
    };
    const bool recordAgrees = printJudgeChecks(night, lessons, hourText);
    printMemory(night.memory, first, last);
    std::printf("run %s\n", log.paused  ? "paused (it waits for the learner)"
                            : log.ended ? "ended"
                                        : "did not end in time");
    std::printf("minutes lost per session recovery (from its end to the next minute in the "
                "record): %s\n",
                qPrintable(lostPerRecovery.join(QLatin1Char(' '))));

    const double wallOverIdeal =
        static_cast<double>(runMs) / static_cast<double>(std::max(idealMinutes, 1) * kMinute +
                                                         std::max<std::int64_t>(capWaitMs, 0));
    const bool met = log.ended && !log.paused && allFaults && capFromMs >= 0 &&
                     creditedBeforeLogin == 0 && recordAgrees &&
                     byRecord.done >= static_cast<int>(lessons.size()) - 1 &&
                     byRecord.shortInRun == 0 && byRecord.overCredited == 0 && skippedCount <= 1 &&
                     onlyMissingSkipped && byRecord.siteShort == 0 && notCounted.total() <= 10 &&
                     stall.longest < 10 * kMinute && wallOverIdeal <= 1.12 && growth <= 10.0 &&
                     night.realMs < 15 * 60'000;
    std::printf("soak: done %d/%zu by the site, short %d, over-credited %d min, skipped %d, "
                "site-short %d, credited while the site did not count %d min, longest stall "
                "%.1f min, wall/ideal %.2f, pss growth %.1f%%\n",
                byRecord.done, lessons.size(), byRecord.shortInRun, byRecord.overCredited,
                skippedCount, byRecord.siteShort, notCounted.total(), minutes(stall.longest),
                wallOverIdeal, growth);
    return met;
}

} // namespace lumora::bench
