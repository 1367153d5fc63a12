#include "study/lesson_navigator.h"

#include "page/page_access.h"
#include "platform/logging.h"

namespace lumora::study {

LessonNavigator::LessonNavigator(catalogue::Catalogue& catalogue, page::BrowserViews& views,
                                 const platform::Clock& clock, WaitFor waitFor)
    : m_catalogue(catalogue), m_views(views), m_clock(clock), m_waitFor(std::move(waitFor))
{
    // Disconnected with the navigator: the context object goes with it.
    QObject::connect(&views.player(), &platform::BrowserControl::windowClosedByPage,
                     &m_signalContext, [this] { m_playerClosed = true; });
    // Each load is seen as soon as it has loaded, not at the next tick: the opening is timed
    // from the first, and a page that moves on by itself within the tick is told from it.
    QObject::connect(&views.player(), &platform::BrowserControl::documentLoaded, &m_signalContext,
                     [this] { claim(m_views.player().lastLoad()); });
}

LessonNavigator::Claim LessonNavigator::claim(const platform::LoadInfo& load)
{
    if (m_playerClosed)
        return Claim::Left;
    if (load.serial == m_playerLoadAtClick)
        return Claim::NotYet;
    const bool known = load.serial == m_lessonsLoad || load.serial == m_openingLoad;
    if (!known) {
        const std::chrono::milliseconds now = m_clock.now();
        if (!m_firstLoadSeen)
            m_firstLoadSeen = now;
        // After the opening only the load it settled on is the lesson's; a lesson none of whose
        // loads has succeeded yet takes the first that does, as it would have at once.
        if (now - *m_firstLoadSeen > kOpeningFor && m_lessonsLoad != 0)
            return Claim::Left;
        m_openingLoad = load.serial;
    }
    // Until it succeeds, a load may still be redirected or fail: it is judged as the lesson's
    // without becoming its own.
    if (load.outcome == platform::LoadOutcome::Succeeded)
        m_lessonsLoad = load.serial;
    return Claim::Lessons;
}

bool LessonNavigator::openCategory(int category)
{
    // Without the category links from a scan the site would go on listing whichever category
    // it showed last while the run credits another's.
    if (m_catalogue.categoryLinkPositions().isEmpty())
        m_catalogue.scanCoursePage();
    const auto menuShown = [this] { return m_catalogue.courseMenuShown(); };
    if (Waited w = m_waitFor(kStepPatience, menuShown); w != Waited::Ready)
        return giveUp("find the course page", w);
    if (!m_catalogue.clickCategoryLink(category))
        return giveUp("click the category's link", Waited::TimedOut);
    // The site records the choice in the background, and its course menu lists the category
    // recorded last: a list that names another category came too early and is asked for again.
    std::optional<catalogue::LessonLinks> lessons;
    for (int ask = 1; !lessons; ++ask) {
        if (Waited w = m_waitFor(kStepPatience, menuShown); w != Waited::Ready)
            return giveUp("find the course menu", w);
        const auto listed = listAfterCourseMenu();
        if (!listed)
            return false;
        if (m_catalogue.listedCategory(category) != ListedCategory::Another) {
            lessons = listed;
            continue;
        }
        if (ask == kListAsks)
            return giveUp("list the category chosen, not the one before", Waited::TimedOut);
        qCInfo(lcStudy) << "the site still lists another category; asking again";
        if (Waited w = m_waitFor(kAskAgainAfter, [] { return false; }); w == Waited::Dropped)
            return giveUp("ask again for the category's list", w);
    }
    m_catalogue.adoptCategory(category, *lessons);
    return true;
}

std::optional<catalogue::LessonLinks> LessonNavigator::listAfterCourseMenu()
{
    platform::BrowserControl& mainView = m_views.main();
    const QString listBefore = mainView.document(page::kLessonFrame).identity;
    if (!m_catalogue.openCourseMenu()) {
        giveUp("click the course menu", Waited::TimedOut);
        return std::nullopt;
    }
    // The list is the new one once the lesson frame holds a document that came after the click
    // and has finished loading: the old list stays on show until then, and a list still loading
    // may lack its last lessons. The frame itself says so; its load reports can be lost.
    std::optional<catalogue::LessonLinks> lessons;
    const Waited listed = m_waitFor(kStepPatience, [&] {
        const platform::DocumentInfo list = mainView.document(page::kLessonFrame);
        if (!list.complete || list.identity.isEmpty() || list.identity == listBefore)
            return false;
        lessons = m_catalogue.readLessonLinks();
        return lessons && !lessons->positions.isEmpty();
    });
    if (listed != Waited::Ready) {
        giveUp("list the category's lessons", listed);
        return std::nullopt;
    }
    return lessons;
}

bool LessonNavigator::giveUp(const char* step, Waited why)
{
    if (why == Waited::Dropped) {
        qCInfo(lcStudy) << "opening a category stopped at" << step
                        << "(the run no longer wants it)";
    } else {
        const platform::DocumentInfo list = m_views.main().document(page::kLessonFrame);
        qCWarning(lcStudy).nospace()
            << "opening a category gave up at \"" << step << "\"; the main view shows "
            << m_views.main().url().toString() << ", its lesson frame " << list.url.toString()
            << (list.complete ? "" : " (not loaded)") << "; the run stays where it was";
    }
    return false;
}

catalogue::LessonOpening LessonNavigator::openLesson(int lesson)
{
    // No load so far is the lesson's: a click that never happens must not leave the last
    // lesson's player credited to this one. The site may open a new window or load into the one
    // it opened before (a named window): the player's load serial tells its load apart.
    m_playerLoadAtClick = m_views.player().lastLoad().serial;
    m_lessonsLoad = 0;
    m_openingLoad = 0;
    m_firstLoadSeen.reset();
    m_playerClosed = false;
    m_views.expectPlayerWindow(m_playerLoadAtClick);
    return m_catalogue.openLesson(lesson);
}

} // namespace lumora::study
