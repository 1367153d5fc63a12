// The study run and the site's own count. Where the site keeps a study record, it is the truth
// the learner is judged by: a lesson the site counts done is not opened, one whose minutes the
// program has credited stays open until the record shows them (ten minutes at most; then it is
// gone back to once if still short), and a site whose record stops growing while the program
// credits is noticed: the run credits nothing more, closes the player and looks again every
// half hour until the site counts again (a new day).

#include "platform/logging.h"
#include "study/run_texts.h"
#include "study/study_run.h"

#include <QRegularExpression>

namespace lumora::study {

using records::RunEventKind;

namespace {

// The player's own controls that end a visit and save it, as sites name them.
const QStringList& exitControls()
{
    static const QStringList texts = {QStringLiteral("退出学习"), QStringLiteral("保存进度"),
                                      QStringLiteral("结束学习")};
    return texts;
}

} // namespace

bool StudyRun::needsStudy(int category, int lesson) const
{
    const std::optional<records::LessonMinutes> minutes = m_records.lesson(category, lesson);
    if (!minutes)
        return false;
    if (m_record.place() == records::RecordPlace::Found) {
        if (const auto figure = m_figures.lesson(category, lesson))
            return figure->seconds < minutes->required * 60;
    }
    return !minutes->done();
}

bool StudyRun::visitDone() const
{
    const LessonKey key{m_catalogue.category(), m_catalogue.selectedLesson()};
    const std::optional<records::LessonMinutes> minutes =
        m_records.lesson(key.category, key.lesson);
    if (key.lesson < 0 || !minutes)
        return false;
    // The program's own count keeps a minute's margin for the site's last unsaved report;
    // where the site's record has the lesson, waiting for it to show the minutes takes that
    // place. A lesson the record does not list yet is left by the program's count, and its
    // figure is looked at later in the night.
    const bool siteHasIt = m_record.place() == records::RecordPlace::Found &&
                           m_figures.lesson(key.category, key.lesson).has_value();
    const int needed = siteHasIt ? minutes->required : minutes->target();
    // A lesson the site had counted short of what the program credited is studied for what it
    // lacks, however many minutes the program once credited it.
    if (m_visit.lesson == key && m_visit.siteMinutes)
        return *m_visit.siteMinutes + m_visit.credits >= needed;
    return minutes->studied >= needed;
}

void StudyRun::leaveLesson()
{
    const LessonKey key{m_catalogue.category(), m_catalogue.selectedLesson()};
    if (m_record.place() != records::RecordPlace::Found || !needsStudy(key.category, key.lesson))
        return moveOn();
    if (m_phase == RunPhase::LeavingLesson)
        return;
    // The site counts by its player's own reports: the time since the last one is lost if the
    // page goes now. The player stays until the record shows the lesson's minutes.
    qCInfo(lcStudy).nospace() << "lesson " << key.lesson + 1 << " of category " << key.category
                              << ": its minutes are credited; waiting for the site's record";
    std::optional<int> before;
    if (const auto figure = m_figures.lesson(key.category, key.lesson))
        before = figure->seconds;
    m_leaving = {m_platform.clock().now(), before, false};
    enterPhase(RunPhase::LeavingLesson);
    askForTheRecordWhenDue();
}

void StudyRun::leavingTick()
{
    const LessonKey key{m_catalogue.category(), m_catalogue.selectedLesson()};
    const std::chrono::milliseconds waited = m_platform.clock().now() - m_leaving.since;
    if (waited >= kLeaveAtMost)
        return leaveShort(QStringLiteral("the site's record still has it short after %1 minutes")
                              .arg(kLeaveAtMost.count()));
    // A site that saves a visit only when its own exit control is pressed shows nothing until
    // then: the figure has not moved at all.
    const auto figure = m_figures.lesson(key.category, key.lesson);
    if (!m_leaving.exitPressed && waited >= kExitWhenStill &&
        (figure ? figure->seconds : 0) == m_leaving.secondsBefore.value_or(0)) {
        m_leaving.exitPressed = true;
        pressPlayerExit();
        return;
    }
    if (!m_leaving.exitPressed)
        lookAfterPlayer();
}

void StudyRun::leaveShort(const QString& why)
{
    const LessonKey key{m_catalogue.category(), m_catalogue.selectedLesson()};
    const int siteMinutes =
        m_figures.lesson(key.category, key.lesson).value_or(records::SiteFigure{}).minutes();
    qCWarning(lcStudy).nospace() << "lesson " << key.lesson + 1 << " of category " << key.category
                                 << " (the site's record: " << siteMinutes << " minutes): " << why
                                 << "; going on, to look again later";
    // Gone back to once at most: a lesson left short again stays where it is.
    const auto known = std::find_if(m_leftShort.begin(), m_leftShort.end(),
                                    [&](const LeftShort& left) { return left.lesson == key; });
    if (known == m_leftShort.end())
        m_leftShort.append({key, m_platform.clock().now(), false});
    report(RunEventKind::LessonLeftShort, key.lesson, siteMinutes);
    moveOn();
}

void StudyRun::moveOn()
{
    const int lesson = m_catalogue.selectedLesson();
    if (!m_leaving.exitPressed || m_phase != RunPhase::LeavingLesson)
        pressPlayerExit();
    m_leaving = {};
    m_stall.reset(); // going on is progress, though it earns no minute
    report(RunEventKind::LessonDone, lesson);
    goOn();
}

void StudyRun::goOn()
{
    if (const std::optional<int> next = nextLessonLeft())
        return startLesson(*next);
    if (const std::optional<LessonKey> back = lessonToGoBackTo(m_catalogue.category(), false))
        return startLesson(back->lesson);
    report(RunEventKind::CategoryFinished);
    openNextCategory();
}

std::optional<int> StudyRun::nextLessonLeft() const
{
    const int category = m_catalogue.category();
    for (int lesson = lessonIndex() + 1; lesson < m_catalogue.lessonCount(); ++lesson) {
        if (needsStudy(category, lesson) && !m_skipped.contains(LessonKey{category, lesson}))
            return lesson;
    }
    return std::nullopt;
}

std::optional<LessonKey> StudyRun::lessonToGoBackTo(int category, bool atEnd)
{
    for (LeftShort& left : m_leftShort) {
        if (left.wentBack || (!atEnd && left.lesson.category != category) ||
            !needsStudy(left.lesson.category, left.lesson.lesson))
            continue;
        // Its figure may only be late: it is judged on a reading made a while after.
        if (!atEnd && m_record.lastAsked() < left.at + kGoBackAfter)
            continue;
        left.wentBack = true;
        qCInfo(lcStudy).nospace() << "going back to lesson " << left.lesson.lesson + 1
                                  << " of category " << left.lesson.category
                                  << ": the site's record still has it short";
        return left.lesson;
    }
    return std::nullopt;
}

void StudyRun::askForTheRecordWhenDue()
{
    if (m_record.place() != records::RecordPlace::Found || m_record.reading() || !running())
        return;
    const std::chrono::milliseconds now = m_platform.clock().now();
    const std::chrono::milliseconds asked = m_record.lastAsked();
    const std::chrono::milliseconds since = now - asked;
    const bool never = asked == std::chrono::milliseconds::zero();
    bool due = false;
    switch (m_phase) {
    case RunPhase::Studying:
        due = never || since >= kRecordEvery ||
              (m_siteCount.judgementDue() && since >= kRecordWhileLeaving);
        break;
    case RunPhase::LeavingLesson:
        due = never || since >= kRecordWhileLeaving;
        break;
    case RunPhase::WaitingForSite:
        due = m_siteWait.lookingSince > std::chrono::milliseconds::zero() &&
              now - m_siteWait.lookingSince >= kLookFor && since >= kRecordWhileLeaving;
        break;
    case RunPhase::Idle:
    case RunPhase::Opening:
    case RunPhase::Recovering:
    case RunPhase::Paused:
    case RunPhase::Ended:
        break;
    }
    if (due && m_record.ask())
        m_followUp->setEnabled(true);
}

void StudyRun::followTheRecord()
{
    if (!m_record.reading() || !running()) {
        m_followUp->setEnabled(false);
        return;
    }
    const std::optional<SiteReading> reading = m_record.poll();
    m_followUp->setEnabled(m_record.reading());
    if (reading)
        onSiteReading(*reading);
}

void StudyRun::onSiteReading(const SiteReading& reading)
{
    std::optional<SiteCount::Judgement> judgement;
    if (reading.ok) {
        // A site that counted more of the lesson than its visit's own reckoning (it counted
        // while no minute was credited) is taken at its word: the lesson is left sooner. One
        // that counted less is not: the program's minutes never run past its own count.
        const auto figure = reading.figures.constFind(m_visit.lesson);
        if (figure != reading.figures.cend() &&
            *figure / 60 > m_visit.siteMinutes.value_or(0) + m_visit.credits)
            m_visit = {m_visit.lesson, *figure / 60, 0};
        judgement = m_siteCount.read(reading.at, reading.figures);
        if (judgement)
            qCInfo(lcStudy).nospace()
                << "the site's record grew by " << judgement->counted << " minutes for the "
                << judgement->credited << " credited in the last " << judgement->window.count()
                << " minutes";
    }
    if (m_record.place() == records::RecordPlace::None)
        tellNoRecord();
    switch (m_phase) {
    case RunPhase::Opening:
        if (m_opening.awaitsRecord)
            studyFirstLessonLeft();
        return;
    case RunPhase::Studying:
    case RunPhase::LeavingLesson:
        if (judgement && !judgement->counting)
            return siteStoppedCounting(
                RunTexts::siteStopped(judgement->window.count(), judgement->counted));
        if (m_phase != RunPhase::LeavingLesson)
            return;
        // A record that cannot be read now cannot show the lesson's minutes: waiting is in
        // vain, and the lesson is looked at again in a later reading.
        if (!reading.ok)
            leaveShort(QStringLiteral("the site's record could not be read"));
        else if (!needsStudy(m_catalogue.category(), m_catalogue.selectedLesson()))
            moveOn();
        return;
    case RunPhase::WaitingForSite: {
        if (!reading.ok || m_siteWait.lookingSince == std::chrono::milliseconds::zero())
            return;
        const std::chrono::milliseconds looked = reading.at - m_siteWait.lookingSince;
        const int grew = m_figures.lesson(m_catalogue.category(), m_catalogue.selectedLesson())
                             .value_or(records::SiteFigure{})
                             .seconds -
                         m_siteWait.secondsBefore;
        if (2 * std::chrono::seconds(grew) >= looked)
            return siteCountsAgain();
        qCInfo(lcStudy) << "the site still does not count: its record grew by" << grew
                        << "seconds in the" << looked.count() / 1000 << "seconds looked";
        pressPlayerExit();
        closePlayer();
        m_siteWait.lookingSince = {};
        m_siteWait.nextLookAt = m_platform.clock().now() + kLookEvery;
        return;
    }
    case RunPhase::Idle:
    case RunPhase::Recovering:
    case RunPhase::Paused:
    case RunPhase::Ended:
        return;
    }
}

void StudyRun::siteStoppedCounting(const QString& why)
{
    qCWarning(lcStudy) << "the site has stopped counting:" << why;
    pressPlayerExit();
    closePlayer();
    const std::chrono::milliseconds now = m_platform.clock().now();
    m_siteWait = {why, now, now + kLookEvery, {}, 0};
    m_leaving = {};
    enterPhase(RunPhase::WaitingForSite);
    report(RunEventKind::SiteStopped, m_catalogue.selectedLesson(), 0, why);
    emit notice(why);
    emit statusMessage(why);
}

void StudyRun::waitingTick()
{
    const std::chrono::milliseconds now = m_platform.clock().now();
    if (m_siteWait.lookingSince == std::chrono::milliseconds::zero()) {
        if (now < m_siteWait.nextLookAt)
            return;
        // A look: the lesson's player plays a while, and the record tells whether it counted.
        // The run's lesson: a category opened again (after a login) has none selected yet.
        const int lesson = m_navigator.lessonIndex();
        m_siteWait.secondsBefore = m_figures.lesson(m_catalogue.category(), lesson)
                                       .value_or(records::SiteFigure{})
                                       .seconds;
        m_siteWait.lookingSince = now;
        qCInfo(lcStudy) << "looking whether the site counts again";
        const catalogue::LessonOpening opening = m_navigator.openLesson(lesson);
        lessonOpened(opening);
        if (!opening.clicked) {
            // The course page is gone (hours of waiting): it is opened again first.
            m_siteWait.lookingSince = {};
            return openAtNextTick(m_catalogue.category(), lesson);
        }
        emit playerShown(true);
        return;
    }
    // The site saying so again ends the look at once.
    if (const QString cap = capWordsOnThePlayer(); !cap.isEmpty()) {
        qCInfo(lcStudy) << "the site still does not count:" << cap;
        // The session served the look: the logins that led to it were not in vain.
        m_logins.reset();
        pressPlayerExit();
        closePlayer();
        m_siteWait.lookingSince = {};
        m_siteWait.nextLookAt = now + kLookEvery;
        return;
    }
    const PlayerObservation seen = observePlayer(m_views, m_navigator);
    if (seen.state == PlayerState::LoginPage)
        beginRecovery();
}

void StudyRun::siteCountsAgain()
{
    qCInfo(lcStudy) << "the site counts again; studying on";
    m_siteWait = {};
    m_siteCount.reset();
    report(RunEventKind::SiteCountsAgain, m_catalogue.selectedLesson());
    emit notice({});
    // The player opened for the look plays on: its minutes count from the next one.
    beginVisit({m_catalogue.category(), m_catalogue.selectedLesson()});
    m_tally.reset();
    m_videoWatch.reset();
    enterPhase(RunPhase::Studying);
}

QString StudyRun::capWordsOnThePlayer()
{
    // Words a site shows when it counts no more today; a page's rules ("每日学时上限为 4 小时")
    // say no such thing.
    static const QRegularExpression cap(
        QStringLiteral("学时已满|已学满|(今日|今天|当日|本日|每日).{0,12}(已满|已达|已用完|上限)"));
    const QString text = m_views.player().pageText(4000);
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (line.contains(cap) && !line.contains(QStringLiteral("为")))
            return line.trimmed().left(40);
    }
    return {};
}

void StudyRun::pressPlayerExit()
{
    if (m_views.player().lastLoad().outcome != platform::LoadOutcome::Succeeded)
        return;
    // What the control sends is on its way before the next page replaces this one.
    if (const QString pressed = m_views.player().clickControl(exitControls()); !pressed.isEmpty())
        qCInfo(lcStudy) << "pressed the player's" << pressed;
}

void StudyRun::closePlayer()
{
    m_views.player().navigate(QUrl(QStringLiteral("about:blank")));
    emit playerShown(false);
}

void StudyRun::tellNoRecord()
{
    if (std::exchange(m_noRecordTold, true))
        return;
    qCWarning(lcStudy) << "the site has no study record the program can find: its minutes "
                          "cannot be checked against the site's";
    // The study panel says so for as long as it lasts (its figures are the program's own).
    report(RunEventKind::NoSiteRecord);
    updateStatus();
}

} // namespace lumora::study
