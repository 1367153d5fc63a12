#pragma once

// Moving a study run through the site: opening a category with a lesson in it, the next lesson,
// a lesson again; and knowing which load of the player view is the lesson's own. Sites open a
// lesson in steps ("正在进入课件…" forwarding to the player, a form posted to the video host):
// every top-level load within 30 s of the click's first load belongs to the opening, and the one
// it settles on (the last) is the lesson's. A later top-level document in the player view (the
// page moved on to another lesson by itself) or a player window its page closed ends the
// lesson's claim: the site counts that time for another page, if for any. A first minute is
// credited 40 s after the lesson's page at the soonest, so the opening is always over by then.

#include "catalogue/catalogue.h"
#include "page/browser_views.h"
#include "platform/clock.h"

#include <QString>
#include <chrono>
#include <functional>
#include <optional>

namespace lumora::study {

class LessonNavigator
{
public:
    enum class Waited
    {
        Ready,    // what the wait was for holds
        TimedOut, // the limit passed first
        Dropped,  // the run no longer wants it (ended, started over, the program quits)
    };
    // Waits, letting other events run, until `ready` holds, `limit` has passed or the run no
    // longer wants the wait.
    using WaitFor =
        std::function<Waited(std::chrono::milliseconds limit, const std::function<bool()>& ready)>;

    // How long one step of opening a category waits for the page to show what it needs: a slow
    // site takes seconds per page, and a step is retried only at the next tick.
    static constexpr std::chrono::seconds kStepPatience{30};
    // How long after the click's first load of the player the lesson's page may still change.
    static constexpr std::chrono::seconds kOpeningFor{30};

    // What a load of the player view is to the lesson clicked last.
    enum class Claim
    {
        NotYet,  // no load of the player since the click has succeeded yet
        Lessons, // the lesson's own page
        Left,    // the lesson's page was left: another document, or its window closed
    };

    LessonNavigator(catalogue::Catalogue& catalogue, page::BrowserViews& views,
                    const platform::Clock& clock, WaitFor waitFor);
    Q_DISABLE_COPY_MOVE(LessonNavigator)

    // Position of the lesson the run chose last, in the category's lesson list.
    int lessonIndex() const { return m_lessonIndex; }
    // What `load`, the player view's last, is to the lesson: a load of the opening becomes the
    // lesson's (while it has not succeeded it is judged as the lesson's all the same).
    Claim claim(const platform::LoadInfo& load);

    // Opens `category` on the site (its link, the course menu, the lesson list, each step
    // waiting for the page). All or nothing: only when the site lists the category's lessons
    // do the catalogue's category and its lessons change (whether they did); no lesson is
    // opened yet.
    bool openCategory(int category);
    // Makes the lesson at `lesson` the run's, and opens it.
    catalogue::LessonOpening openRunLesson(int lesson)
    {
        m_lessonIndex = lesson;
        return openLesson(lesson);
    }
    // Opens the lesson at `lesson` without making it the run's: a lesson opened again, or one
    // the learner chose.
    catalogue::LessonOpening openLesson(int lesson);

private:
    using ListedCategory = catalogue::Catalogue::ListedCategory;
    // How often the course menu is asked for the category chosen while it lists another.
    static constexpr int kListAsks = 10;
    static constexpr std::chrono::seconds kAskAgainAfter{1};

    // Clicks the course menu and waits for the list it brings; nothing when none came (logged).
    std::optional<catalogue::LessonLinks> listAfterCourseMenu();
    // Gives up the opening at `step`, logged with the page's address (a dropped one quietly):
    // false, what the opening comes to.
    bool giveUp(const char* step, Waited why);

    catalogue::Catalogue& m_catalogue;
    page::BrowserViews& m_views;
    const platform::Clock& m_clock;
    WaitFor m_waitFor;
    int m_lessonIndex = 0;
    int m_playerLoadAtClick = 0; // the player view's last load when the lesson's link was clicked
    int m_lessonsLoad = 0;       // the lesson's own load of the player (0: none yet)
    int m_openingLoad = 0;       // the opening's last load, succeeded or not (0: none yet)
    std::optional<std::chrono::milliseconds> m_firstLoadSeen; // the click's first load, seen
    bool m_playerClosed = false; // the page closed the player's window since the click
    QObject m_signalContext;     // the receiver of the player's signals
};

} // namespace lumora::study
