#pragma once

// The program put together: the window, the roles it plays (site session, catalogue, study
// run, records), and the wiring between them. Every outside event (a button, a list choice by
// the learner, a study tick, a browser event) reaches its role through the one event gate, so
// no handler runs inside another except while the study run waits for a page to show what it
// needs.

#include "app/app_config.h"
#include "app/run_restart.h"
#include "app/start_watch.h"
#include "catalogue/catalogue.h"
#include "page/browser_views.h"
#include "page/window_routing.h"
#include "platform/event_gate.h"
#include "platform/platform.h"
#include "records/minute_records.h"
#include "records/site_figures.h"
#include "records/state_keeper.h"
#include "records/study_log.h"
#include "session/site_session.h"
#include "study/study_run.h"
#include "window/main_window.h"
#include "window/tray_icon.h"

#include <QObject>
#include <memory>

namespace lumora::app {

class Program final : public QObject
{
    Q_OBJECT
public:
    Program(platform::Platform& platform, AppConfig config);
    ~Program() override;
    Q_DISABLE_COPY_MOVE(Program)

    // Starts up through the event gate: call once, before the window is shown.
    void start();
    // Ends the program: the run stops and the window closes for good. Once only.
    void quit();

    const AppConfig& config() const { return m_config; }
    platform::EventGate& gate() { return m_gate; }
    window::MainWindow& window() { return *m_window; }
    page::BrowserViews& views() { return *m_views; }
    records::MinuteRecords& records() { return m_records; }
    records::SiteFigures& siteFigures() { return m_siteFigures; }
    records::StateKeeper& state() { return *m_state; }
    session::SiteSession& session() { return *m_session; }
    catalogue::Catalogue& catalogue() { return *m_catalogue; }
    study::StudyRun& run() { return *m_run; }
    window::TrayIcon& tray() { return *m_tray; }

private:
    void startUp();
    void connectWindow();
    void connectRoles();
    // Tells the learner, in the notice panel, the tray and the run record, what a failed save
    // means and why it failed; and when saving works again.
    void connectSaves();
    // "网站地址…": a new address is saved and its login page loads at once.
    void changeSite();
    // Runs `handler` as an outside event: through the gate.
    template <typename Handler> auto viaGate(Handler handler)
    {
        return [this, handler] { m_gate.dispatch(handler); };
    }

    platform::Platform& m_platform;
    AppConfig m_config;
    platform::EventGate m_gate;
    std::unique_ptr<window::MainWindow> m_window;
    std::unique_ptr<page::BrowserViews> m_views;
    records::MinuteRecords m_records;
    records::SiteFigures m_siteFigures;
    std::unique_ptr<records::StateKeeper> m_state;
    std::unique_ptr<page::WindowRouting> m_windowRouting;
    std::unique_ptr<session::SiteSession> m_session;
    std::unique_ptr<catalogue::Catalogue> m_catalogue;
    std::unique_ptr<study::StudyRun> m_run;
    std::unique_ptr<RunRestart> m_restart;
    std::unique_ptr<StartWatch> m_startWatch;
    records::StudyLog m_studyLog;
    std::unique_ptr<window::TrayIcon> m_tray;
};

} // namespace lumora::app
