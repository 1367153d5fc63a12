#pragma once

// The whole program on the fake platform, with its state file in a fresh temporary folder, and
// the site's pages as the program sees them, built from the stand-in site's own structure.

#include "app/program.h"
#include "fake_platform.h"
#include "platform/files.h"
#include "site_structure.h"

#include <QListWidget>
#include <QTemporaryDir>
#include <QVariantMap>
#include <memory>

namespace lumora::testing {

namespace structure = site::structure;

// Where the site's course frame is, in makeCoursePage()'s pages.
inline const QUrl kCourseFrameUrl(QStringLiteral("http://training.example:8080/course/frame"));

// A document with `count` frames, frame `at` being `inner`; by default the site's top-level
// page around its course frame.
std::shared_ptr<FakeDocument> framedPage(std::shared_ptr<FakeDocument> inner,
                                         int count = structure::kCourseFrame + 1,
                                         int at = structure::kCourseFrame);

// The site's course page: the course frame holds the four category links and the course-menu
// item where site_structure.h puts them, and the lesson frame. Clicking a category link and
// then the course-menu item fills the lesson frame with that category's lessons, each link at
// its place (plain links between), through `listLoad` when set (the frame's load: fill(true)
// starts a new document that lacks the last lesson, fill(false) completes it); lesson M's
// link (M from 0) calls `openPlayer(category, M + 1)`. The site records a category link's
// choice through `record` when set (the list shows the category recorded last), and the list
// names its category ("类别K课程列表") as the link does ("类别K学习课程").
// Clicks are logged as "category-K", "course-menu" and "lesson-K-N" (N counted from 1).
struct CoursePage
{
    std::shared_ptr<FakeDocument> top;
    std::shared_ptr<FakeDocument> course;
    std::shared_ptr<FakeDocument> lessons;
    std::shared_ptr<std::function<void(int, int)>> openPlayer;
    std::shared_ptr<std::function<void(std::function<void(bool)>)>> listLoad;
    std::shared_ptr<std::function<void(std::function<void()>)>> record;
};
CoursePage makeCoursePage(QList<int> lessonCounts = {21, 9, 7, 8});

// The course frame's HTML as the site sends it: its category links where the catalogue reads them.
QString courseFrameHtml();

// The site's login page: the three inputs and the image button ("login-submit").
std::shared_ptr<FakeDocument> makeLoginPage();

struct ProgramFixture
{
    // `resume`: started again after a restart (--resume); `systemTray`: the desktop has a tray.
    explicit ProgramFixture(bool resume = false, bool systemTray = false)
        : platform(systemTray),
          program(std::make_unique<app::Program>(
              platform,
              app::AppConfig{.site = QUrl(QStringLiteral("http://training.example:8080/")),
                             .stateFilePath = statePath(),
                             .stateFileFallback = {},
                             .olderStateFiles = {},
                             .dataFolder = dir.path(),
                             .resume = resume,
                             .restartArguments = {QStringLiteral("--resume")}}))
    {
    }
    // Starts up as the program does, and the site's login page (unless the test set another
    // page for its address) arrives in the main view.
    void start()
    {
        if (!main().pages.contains(session().loginPage()))
            main().pages[session().loginPage()] = {makeLoginPage()};
        program->start();
        player().setLastLoad({platform::LoadOutcome::NotLoaded, 0, {}, {}}); // an empty view
        platform.runEventLoop();
    }
    // The main view shows `page`, complete, and its lesson links open players that load with
    // `playerLoad`; the document completes. Its lesson list loads `listDelay` after the course
    // menu's click, from the event loop.
    void showCoursePage(CoursePage& page);
    // What the site answers the main view's fetch of its course frame: the frame while the
    // session is alive, the login page once it has ended.
    void answerSessionChecks(bool alive);
    // What the run follows between ticks (a reading of the site's record) runs its course, as
    // the event loop would run it before the next tick.
    void followUp();
    // A load of `document` in the main view starts and ends, as the engine reports one: the page
    // is shown, complete and loaded, and the document completes (answers to fetches arrive too).
    void showInMain(std::shared_ptr<FakeDocument> document)
    {
        main().startLoad({std::move(document)});
        main().finishLoad();
    }

    QString statePath() const { return dir.filePath(QStringLiteral("boot.txt")); }
    void writeState(const QByteArray& bytes) const
    {
        if (!platform::writeFileAtomically(statePath(), bytes).written())
            qFatal("ProgramFixture: cannot write the state file");
    }
    // The state file's bytes; empty when there is none.
    QByteArray readState() const { return platform::readWholeFile(statePath()).value_or(""); }

    FakeBrowser& main() const { return *platform.browsers.at(0); }
    FakeBrowser& player() const { return *platform.browsers.at(1); }
    FakeTimer& timer() const { return *platform.timer; }
    window::MainWindow& window() const { return program->window(); }
    study::StudyRun& run() const { return program->run(); }
    catalogue::Catalogue& catalogue() const { return program->catalogue(); }
    records::MinuteRecords& records() const { return program->records(); }
    session::SiteSession& session() const { return program->session(); }
    // A lesson's studied minutes.
    int studied(int category, int lesson) const
    {
        return records().lesson(category, lesson).value_or(records::LessonMinutes{}).studied;
    }

    // Runs `handler` as an outside event does: through the gate.
    void dispatch(const std::function<void()>& handler) const { program->gate().dispatch(handler); }
    // What a list of the window shows.
    static QStringList entries(const QListWidget* list)
    {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i)
            texts.append(list->item(i)->text());
        return texts;
    }

    QTemporaryDir dir;
    FakePlatform platform;
    std::unique_ptr<app::Program> program;
    // How the next players load (with which status when it is an HTTP error), and what they
    // show (a plain player page by default).
    platform::LoadOutcome playerLoad = platform::LoadOutcome::Succeeded;
    int playerErrorStatus = 404;
    std::shared_ptr<FakeDocument> playerDocument = std::make_shared<FakeDocument>();
    int playersOpened = 0;
    std::chrono::milliseconds listDelay{0};
    std::chrono::milliseconds selectionDelay{0}; // until the site records a category's choice
};

// A program logged in on the site's course page, its category links scanned, ready to study;
// the run's events are kept.
struct RunFixture : ProgramFixture
{
    // `scanned`: a scan of the course page has listed its links already; `settings`: what
    // lumora.ini says when the program starts.
    explicit RunFixture(bool scanned = true, const QVariantMap& settings = {});
    void pressStudy()
    {
        dispatch([this] { run().startStudy(); });
        followUp();
    }
    // A study tick, 20 s after the last: the player's video played on meanwhile, unless paused
    // or ended (at its duration, when it has one).
    void tick()
    {
        platform.fakeClock.advance(std::chrono::seconds(20));
        platform::VideoReport& video = playerDocument->video;
        if (video.present && !video.paused && !video.ended) {
            video.currentTime += 20;
            if (video.duration > 0 && video.currentTime >= video.duration)
                video = {true, video.duration, video.duration, true, true, 4, 0, false};
        }
        timer().fire();
        followUp();
    }
    // The study ticks of one minute; how many minutes were credited in them.
    int minute();
    QList<records::RunEventKind> kinds() const;
    // Sets a category's studied minutes, lesson by lesson.
    void setStudied(int category, const QList<int>& minutes);

    CoursePage site = makeCoursePage();
    QList<records::RunEvent> events;
};

// Studied minutes that make every lesson of the category done (one past required).
QList<int> allDone(int category);
// A category's line of the state file for these minutes, lesson by lesson.
QString recordText(const QList<int>& minutes);

} // namespace lumora::testing
