#pragma once

// The site's login page at start, and again after the site's address changed: a load of it that
// gets no answer (or an error page) is told in plain words with what to do, and the page is asked
// for again every 30 s until it shows. A network that comes up after the program (a machine's
// start) needs nothing of the learner.

#include "page/browser_views.h"
#include "platform/event_gate.h"
#include "platform/platform.h"
#include "session/site_session.h"

#include <QObject>
#include <memory>

namespace lumora::app {

// What the notice panel says about a load of the site that failed.
QString startTroubleText(const platform::LoadInfo& load);

class StartWatch final : public QObject
{
    Q_OBJECT
public:
    static constexpr int kRetryMs = 30000;

    StartWatch(platform::EventGate& gate, page::BrowserViews& views, session::SiteSession& session,
               std::unique_ptr<platform::Timer> timer);
    ~StartWatch() override;
    Q_DISABLE_COPY_MOVE(StartWatch)

    // Loads the session's login page and watches it until it shows.
    void open();

signals:
    // What stands in the way of the login page; empty once it (or the course page) showed.
    void trouble(const QString& text);

private:
    void onMainPageLoaded();
    void stop();

    page::BrowserViews& m_views;
    session::SiteSession& m_session;
    std::unique_ptr<platform::Timer> m_retry;
    bool m_watching = false;
};

} // namespace lumora::app
