#include "app/program.h"

#include "app/continue_controls.h"
#include "app/page_time_setting.h"
#include "app/record_settings.h"
#include "app/site_address.h"
#include "platform/dialogs.h"
#include "platform/files.h"

#include <QAction>
#include <QSignalBlocker>

#include <QDir>

namespace lumora::app {

Program::Program(platform::Platform& platform, AppConfig config)
    : m_platform(platform), m_config(std::move(config)),
      m_siteFigures(records::SiteFigures::pathIn(m_config.dataFolder)),
      m_studyLog(m_config.dataFolder)
{
    m_window = std::make_unique<window::MainWindow>(platform, m_gate);
    m_views = std::make_unique<page::BrowserViews>(m_window->mainView(), m_window->playerView());
    m_state = std::make_unique<records::StateKeeper>(
        records::StateFileStore(m_config.stateFilePath, m_config.stateFileFallback,
                                m_config.olderStateFiles, platform.files()),
        m_records);
    m_windowRouting = std::make_unique<page::WindowRouting>(
        *m_views, platform.clock(), [&platform] { return platform.createBrowser(nullptr); });
    m_session = std::make_unique<session::SiteSession>(*m_views, *m_state, platform.dialogs(),
                                                       platform.clock(), m_config.loginPage());
    m_catalogue = std::make_unique<catalogue::Catalogue>(*m_views);
    m_run = std::make_unique<study::StudyRun>(platform, m_gate, *m_views, *m_catalogue, *m_session,
                                              m_records, *m_state, m_siteFigures);
    // Made after the study run's timer, which the unit tests take as the first one.
    m_state->retryReadsWith(platform.createTimer(), m_gate);
    m_restart = std::make_unique<RunRestart>(platform, m_gate, *m_views, *m_session, *m_catalogue,
                                             m_records, *m_run, m_config.restartArguments);
    m_startWatch =
        std::make_unique<StartWatch>(m_gate, *m_views, *m_session, platform.createTimer());
    m_window->setStudyRecord({records::StudyLog::pathIn(m_config.dataFolder), &m_records,
                              &m_siteFigures, &platform.dialogs(), &platform::systemFiles()});
    m_tray = std::make_unique<window::TrayIcon>(*m_window, m_platform.hasSystemTray());
    connectWindow();
    connectRoles();
    connectSaves();
}

Program::~Program()
{
    // The roles go before the window whose controls they use.
    m_tray.reset();
    m_startWatch.reset();
    m_restart.reset();
    m_run.reset();
    m_catalogue.reset();
    m_session.reset();
    m_windowRouting.reset();
}

void Program::start()
{
    m_gate.dispatch([this] { startUp(); });
    if (m_config.resume)
        m_restart->resume();
}

void Program::quit()
{
    if (m_window->unloaded())
        return;
    m_restart->programQuitting();
    m_run->shutDown();
    m_window->unload();
}

void Program::startUp()
{
    m_platform.browsingData().clearCache();
    m_views->main().setSilent(true);
    m_views->player().setSilent(true);
    m_startWatch->open();
    m_catalogue->setCategory(0);
    // A missing or short file gives what it has; the rest stays empty.
    m_state->restore();
    m_window->showCredentials(m_state->credentials().userName, m_state->credentials().password);
    const bool pageTime = PageTimeSetting(m_config.dataFolder).enabled();
    m_run->setPageTimeWithoutVideo(pageTime);
    // The site's figures as last read. Where its record is, is looked for again at each start
    // unless it was found on this very site before.
    m_siteFigures.load();
    if (m_siteFigures.address().host().compare(m_config.site.host(), Qt::CaseInsensitive) != 0)
        m_siteFigures.setPlace(records::RecordPlace::Unknown);
    m_run->setRecordSettings(readRecordSettings(m_config.dataFolder));
    m_run->setContinueControls(readContinueControls(m_config.dataFolder));
    const QSignalBlocker asSaved(m_window->pageTimeAction());
    m_window->pageTimeAction()->setChecked(pageTime);
}

void Program::connectWindow()
{
    window::MainWindow* w = m_window.get();
    connect(w, &window::MainWindow::studyRequested, this, viaGate([this] { m_run->startStudy(); }));
    connect(w, &window::MainWindow::exitRequested, this,
            viaGate([this] { m_run->exitCourseware(); }));
    connect(w, &window::MainWindow::loginRequested, this, viaGate([this] { m_session->logIn(); }));
    connect(w, &window::MainWindow::clearCacheRequested, this,
            viaGate([this] { m_platform.browsingData().clearEverything(); }));
    connect(w, &window::MainWindow::categoryChosen, this, [this](int category) {
        m_gate.dispatch([=, this] { m_run->chooseCategory(category); });
    });
    connect(w, &window::MainWindow::lessonChosen, this, [this](int lesson) {
        m_gate.dispatch([=, this] { m_run->openChosenLesson(lesson); });
    });
    connect(w, &window::MainWindow::categoryLinkChosen, this,
            viaGate([this] { m_catalogue->openCategoryLink(); }));
    connect(w, &window::MainWindow::siteAddressRequested, this, viaGate([this] { changeSite(); }));
    connect(w, &window::MainWindow::recordAddressRequested, this, viaGate([this] {
                if (!changeRecordAddress(m_platform.dialogs(), m_config.dataFolder))
                    return;
                // Looked for again without an address of the learner's.
                m_siteFigures.setPlace(records::RecordPlace::Unknown);
                m_run->setRecordSettings(readRecordSettings(m_config.dataFolder));
            }));
    connect(w, &window::MainWindow::pageTimeToggled, this, [this](bool enabled) {
        m_run->setPageTimeWithoutVideo(enabled);
        PageTimeSetting(m_config.dataFolder).save(enabled);
    });
    connect(w, &window::MainWindow::userNameEdited, m_session.get(),
            &session::SiteSession::setUserName);
    connect(w, &window::MainWindow::passwordEdited, m_session.get(),
            &session::SiteSession::setPassword);
    connect(&m_views->main(), &platform::BrowserControl::documentLoaded, this,
            viaGate([this] { m_session->onMainPageLoaded(); }));
    connect(m_windowRouting.get(), &page::WindowRouting::pageClosedWindow, this,
            viaGate([this] { quit(); }));
    connect(w, &window::MainWindow::closing, this, &Program::quit);
}

void Program::connectRoles()
{
    window::MainWindow* w = m_window.get();
    window::TrayIcon* tray = m_tray.get();
    session::SiteSession* session = m_session.get();
    study::StudyRun* run = m_run.get();

    connect(session, &session::SiteSession::coursePageRecognised, w,
            &window::MainWindow::unlockStudy);
    connect(session, &session::SiteSession::loginAvailableChanged, w,
            &window::MainWindow::setLoginAvailable);
    connect(session, &session::SiteSession::notice, w, &window::MainWindow::showNotice);
    using Topic = window::NoticePanel::Topic;
    connect(session, &session::SiteSession::loginTrouble, w,
            [w](const QString& text) { w->showTrouble(Topic::Login, text); });
    connect(m_startWatch.get(), &StartWatch::trouble, w,
            [w](const QString& text) { w->showTrouble(Topic::Site, text); });

    const catalogue::Catalogue* catalogue = m_catalogue.get();
    connect(catalogue, &catalogue::Catalogue::changed, w, [w, catalogue] {
        w->showCatalogue(catalogue->chosenCategory(), catalogue->lessonLinkPositions(),
                         catalogue->selectedLesson(), catalogue->categoryLinkPositions());
    });

    connect(run, &study::StudyRun::runEvent, this,
            [this](const records::RunEvent& event) { m_studyLog.record(event); });
    connect(run, &study::StudyRun::runEvent, tray, &window::TrayIcon::notify);
    connect(run, &study::StudyRun::runEvent, w, &window::MainWindow::followRun);
    connect(m_restart.get(), &RunRestart::runEvent, this,
            [this](const records::RunEvent& event) { m_studyLog.record(event); });
    connect(run, &study::StudyRun::progressChanged, w, &window::MainWindow::showProgress);
    connect(run, &study::StudyRun::progressChanged, tray, &window::TrayIcon::showProgress);
    connect(run, &study::StudyRun::progressChanged, w, &window::MainWindow::followRun);
    connect(run, &study::StudyRun::notice, w, &window::MainWindow::showNotice);
    connect(run, &study::StudyRun::statusMessage, w, &window::MainWindow::showStatusMessage);
    connect(run, &study::StudyRun::runningChanged, session, &session::SiteSession::setRunActive);
    connect(run, &study::StudyRun::runningChanged, w, &window::MainWindow::setRunActive);
    connect(run, &study::StudyRun::playerShown, w, &window::MainWindow::showPlayerView);

    connect(m_state.get(), &records::StateKeeper::restored, w, [this] {
        m_window->showCredentials(m_state->credentials().userName, m_state->credentials().password);
    });
    connect(m_state.get(), &records::StateKeeper::statusMessage, w,
            &window::MainWindow::showStatusMessage);
}

void Program::connectSaves()
{
    records::StateKeeper* state = m_state.get();
    window::MainWindow* w = m_window.get();
    // The run record and the tray hear of it through the run's event.
    connect(state, &records::StateKeeper::saveFailed, m_run.get(),
            [this](const QString& path, const QString& reason) {
                // The run record is data read back later: its lines stay in Chinese.
                m_run->reportSaveFailure(
                    QStringLiteral("%1：%2").arg(reason, QDir::toNativeSeparators(path)));
            });
    // The red mark says the progress is not being saved: a failed save, or a file not read yet.
    const auto showNotSaving = [state, w] {
        w->showSaveFailure(state->lastSaveFailed() || state->savesHeld());
        w->showTrouble(
            window::NoticePanel::Topic::Save,
            state->lastSaveFailed()
                ? tr("学习进度未能保存（%1）：%2。请腾出磁盘空间或关闭占用"
                     "该文件的程序；程序会不断重试。")
                      .arg(state->saveFailure(), QDir::toNativeSeparators(state->savePath()))
                : QString());
    };
    connect(state, &records::StateKeeper::saveFailureChanged, w, showNotSaving);
    connect(state, &records::StateKeeper::savesHeldChanged, w, showNotSaving);
}

void Program::changeSite()
{
    SiteAddressSetting setting(m_config.dataFolder);
    const std::optional<QUrl> site =
        changeSiteAddress(m_platform.dialogs(), setting, m_config.site);
    if (!site)
        return;
    m_config.site = *site;
    // Another site's figures say nothing of this one's.
    m_siteFigures.clear();
    m_siteFigures.save();
    m_session->setLoginPage(m_config.loginPage());
    m_startWatch->open();
}

} // namespace lumora::app
