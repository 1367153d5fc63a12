#pragma once

// What the program says it did, from its run events: the credited minutes and the diagnostics.
// The lessons are judged by the site's record (soak_judge.h), never by these.

#include "records/run_event.h"
#include "soak_judge.h"

#include <QByteArrayList>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <vector>

namespace lumora::bench {

struct RunLog
{
    // `target`: the minutes at which the program counts a lesson done.
    explicit RunLog(std::function<int(Lesson)> target) : m_target(std::move(target)) {}

    // One event of the program, at `atMs` (site clock).
    void take(const records::RunEvent& event, std::int64_t atMs);

    std::int64_t runStartMs = 0; // site clock; the hours below count from it
    std::map<Lesson, int> creditedBy;
    std::vector<Credit> credits;     // in order
    std::set<Lesson> doneInRun;      // a credit of this run took the lesson to done
    std::set<Lesson> skippedLessons; // skipped and not given back
    int skipped = 0;
    int givenBack = 0;
    int recoveries = 0;
    int reopened = 0;
    int linksClicked = 0;
    QStringList resumes;             // after how many minutes of sleep
    std::optional<Lesson> firstDone; // the first lesson the program left as done
    bool ended = false;              // ended or paused
    bool paused = false;             // it waits for the learner
    // What the program saw of the site's count and of its own run, each with its hour.
    QStringList siteView;
    QByteArrayList events; // every one, tab-separated, for SOAK_RECORD_DIR

private:
    QString hour(std::int64_t atMs) const;

    std::function<int(Lesson)> m_target;
};

} // namespace lumora::bench
