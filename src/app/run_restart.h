#pragma once

// A study run that survives a restart of the machine (an update's, most often during a night's
// run): while a run is active the program is registered with the system to be started again
// with --resume. Started so, it logs in with the saved user name and password as soon as the
// site's login page shows and, once the course page shows, starts the run again at the first
// category not yet studied through. A run that ends, pauses or is stopped withdraws the
// registration; the program quitting in the middle of a run (the system ending it) keeps it.

#include "catalogue/catalogue.h"
#include "page/browser_views.h"
#include "platform/event_gate.h"
#include "platform/platform.h"
#include "records/minute_records.h"
#include "records/run_event.h"
#include "session/site_session.h"
#include "study/study_run.h"

#include <QObject>
#include <QStringList>
#include <memory>

namespace lumora::app {

class RunRestart final : public QObject
{
    Q_OBJECT
public:
    // `arguments`: what the program is started again with (--resume among them).
    RunRestart(platform::Platform& platform, platform::EventGate& gate, page::BrowserViews& views,
               session::SiteSession& session, catalogue::Catalogue& catalogue,
               records::MinuteRecords& records, study::StudyRun& run, QStringList arguments);
    ~RunRestart() override;
    Q_DISABLE_COPY_MOVE(RunRestart)

    // Started with --resume: the run is started again once logged in. Call at start-up.
    void resume();
    // The program is ending: a run it cuts short keeps its registration (the system may be
    // ending it for an update), however the run then stops.
    void programQuitting() { m_quitting = true; }

signals:
    // The run goes on after a restart (for the run record).
    void runEvent(const lumora::records::RunEvent& event);

private:
    enum class Resume
    {
        None,
        AwaitingLoginPage,
        AwaitingCoursePage
    };
    void onRunningChanged(bool running);
    void onMainPageLoaded();
    void onCoursePage();
    void startRun();

    platform::RestartRegistration& m_registration;
    platform::EventGate& m_gate;
    page::BrowserViews& m_views;
    session::SiteSession& m_session;
    catalogue::Catalogue& m_catalogue;
    records::MinuteRecords& m_records;
    study::StudyRun& m_run;
    QStringList m_arguments;
    Resume m_resume = Resume::None;
    bool m_quitting = false;
};

} // namespace lumora::app
