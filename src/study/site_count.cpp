#include "study/site_count.h"

#include <QSet>

namespace lumora::study {

namespace {

using namespace std::chrono_literals;

// What is older than this judges nothing any more.
constexpr std::chrono::milliseconds kKept = 1h;

} // namespace

void SiteCount::credited(const LessonKey& lesson, std::chrono::milliseconds at)
{
    m_credits.push_back({at, lesson});
    ++m_creditsSinceJudged;
    while (!m_credits.empty() && m_credits.front().at < at - kKept)
        m_credits.pop_front();
}

std::optional<SiteCount::Judgement> SiteCount::read(std::chrono::milliseconds at,
                                                    const Figures& figures)
{
    m_readings.push_back({at, figures});
    while (!m_readings.empty() && m_readings.front().at < at - kKept)
        m_readings.pop_front();
    if (!judgementDue())
        return std::nullopt;
    // The long window first: it holds more credits and reports of a site that saves seldom.
    std::optional<Judgement> verdict;
    for (const std::chrono::minutes window : {kWindow, kShortWindow}) {
        const std::optional<Judgement> judged = judge(m_readings.back(), window);
        if (judged && !judged->counting)
            verdict = judged;
        else if (judged && !verdict)
            verdict = judged;
    }
    if (verdict)
        m_creditsSinceJudged = 0;
    return verdict;
}

std::optional<SiteCount::Judgement> SiteCount::judge(const Reading& now,
                                                     std::chrono::minutes window) const
{
    // The latest reading near the window's start: a little inside it, or up to half a window
    // before it.
    const Reading* start = nullptr;
    for (const Reading& reading : m_readings) {
        if (reading.at <= now.at - window + window / 4 && reading.at >= now.at - window * 3 / 2)
            start = &reading;
    }
    if (!start)
        return std::nullopt;
    Judgement judgement;
    judgement.window = window;
    QSet<std::pair<int, int>> lessons;
    for (const Credit& credit : m_credits) {
        if (credit.at > start->at && credit.at <= now.at) {
            ++judgement.credited;
            lessons.insert({credit.lesson.category, credit.lesson.lesson});
        }
    }
    // A handful of credits says little either way.
    if (judgement.credited < kJudgeEvery / 2)
        return std::nullopt;
    int grewSeconds = 0;
    for (const auto& [category, lesson] : lessons) {
        const LessonKey key{category, lesson};
        if (!now.figures.contains(key))
            return std::nullopt; // the record says nothing of it: no verdict
        grewSeconds += now.figures.value(key) - start->figures.value(key, 0);
    }
    judgement.counted = grewSeconds / 60;
    judgement.counting = 2 * grewSeconds >= 60 * judgement.credited;
    return judgement;
}

} // namespace lumora::study
