#include "app/run_restart.h"

#include "page/login_form.h"
#include "platform/logging.h"

namespace lumora::app {

using records::RunEventKind;

RunRestart::RunRestart(platform::Platform& platform, platform::EventGate& gate,
                       page::BrowserViews& views, session::SiteSession& session,
                       catalogue::Catalogue& catalogue, records::MinuteRecords& records,
                       study::StudyRun& run, QStringList arguments)
    : m_registration(platform.restartRegistration()), m_gate(gate), m_views(views),
      m_session(session), m_catalogue(catalogue), m_records(records), m_run(run),
      m_arguments(std::move(arguments))
{
    connect(&run, &study::StudyRun::runningChanged, this, &RunRestart::onRunningChanged);
    connect(&views.main(), &platform::BrowserControl::documentLoaded, this,
            [this] { m_gate.dispatch([this] { onMainPageLoaded(); }); });
    connect(&session, &session::SiteSession::coursePageRecognised, this, &RunRestart::onCoursePage);
}

RunRestart::~RunRestart() = default;

void RunRestart::resume()
{
    qCInfo(lcStudy) << "started again after a restart: the run goes on once logged in";
    m_resume = Resume::AwaitingLoginPage;
}

void RunRestart::onRunningChanged(bool running)
{
    if (running)
        m_registration.hold(m_arguments);
    else if (!m_quitting)
        m_registration.release();
}

void RunRestart::onMainPageLoaded()
{
    if (m_resume != Resume::AwaitingLoginPage)
        return;
    // At a machine's start the network may come up after the program: the start's own watch
    // asks for a login page that could not be loaded again.
    if (page::showsLoginPage(m_views.main())) {
        m_resume = Resume::AwaitingCoursePage;
        m_session.logIn();
    }
}

void RunRestart::onCoursePage()
{
    if (m_resume == Resume::None)
        return;
    m_resume = Resume::None;
    // Recognised while a page's handler runs: the run starts once that handler has returned.
    m_gate.dispatch([this] { startRun(); });
}

void RunRestart::startRun()
{
    // The categories are studied in order: the first with a lesson not done is where the run was.
    const records::StudySummary summary = m_records.summary();
    int category = 0;
    while (category < int(summary.size()) &&
           summary.at(category).lessonsDone >= summary.at(category).lessonCount)
        ++category;
    m_catalogue.setCategory(category);
    emit runEvent({RunEventKind::RunRestarted, category, -1, 0, {}});
    m_run.skipStartNotice();
    m_run.startStudy();
}

} // namespace lumora::app
