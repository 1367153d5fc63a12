#pragma once

// A Form1 on the fake platform, with its state file in a fresh temporary folder, and a course
// page shaped like the site's whose lesson links open the player as the site does.

#include "fake_platform.h"
#include "shell/main_window.h"

#include <QTemporaryDir>
#include <memory>

namespace lumora::testing {

// The site's course page as the program sees it: four frames, the fourth being the course
// frame with category links at positions 2, 5, 8 and 11 and the course-menu item at list
// position 2; the course frame's first frame is the lesson frame. Clicking a category link and
// then the course-menu item fills the lesson frame with that category's lessons, a plain link
// before each lesson; a lesson link calls `openPlayer(category, lesson)` (1-based lesson).
struct CoursePage
{
    std::shared_ptr<FakeDocument> top;
    std::shared_ptr<FakeDocument> course;
    std::shared_ptr<FakeDocument> lessons;
    std::shared_ptr<std::function<void(int, int)>> openPlayer;
};
CoursePage makeCoursePage(QList<int> lessonCounts = {21, 9, 7, 8});

// The site's login page: the three inputs and the image button.
std::shared_ptr<FakeDocument> makeLoginPage();

struct FormFixture
{
    FormFixture();
    ~FormFixture();

    // Starts the window as the program does.
    void start();
    // The main view shows `page`, complete, and its lesson links open players that load with
    // `playerLoad`; the document completes.
    void showCoursePage(CoursePage& page);
    // The main view shows `document`, complete and loaded, and the document completes.
    void showInMain(std::shared_ptr<FakeDocument> document);

    QString statePath() const { return dir.filePath(QStringLiteral("boot.txt")); }
    void writeState(const QByteArray& bytes) const;
    QByteArray readState() const;

    FakeBrowser& main() const { return *platform.browsers.at(0); }
    FakeBrowser& player() const { return *platform.browsers.at(1); }
    FakeTimer& timer() const { return *platform.timer; }
    QStringList entries(const shell::ListBox& list) const;

    QTemporaryDir dir;
    FakePlatform platform;
    std::unique_ptr<shell::Form1> form;
    // How the next players load, and what they show (a plain player page by default).
    platform::LoadOutcome playerLoad = platform::LoadOutcome::Succeeded;
    std::shared_ptr<FakeDocument> playerDocument = std::make_shared<FakeDocument>();
    int playersOpened = 0;
};

} // namespace lumora::testing
