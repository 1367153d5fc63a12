#pragma once

// A Form1 on the fake platform, with its state file in a fresh temporary folder, and builders
// for pages shaped like the site's.

#include "fake_platform.h"
#include "shell/main_window.h"

#include <QTemporaryDir>
#include <memory>

namespace lumora::testing {

struct FormFixture
{
    FormFixture();
    ~FormFixture();

    // Starts the window as the program does; the main view shows `page` (complete).
    void start();

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
};

// The site's course page as the program sees it: four frames, the fourth being the course
// frame with category links at positions 2, 5, 8 and 11 and the course-menu item at list
// position 2; the course frame's first frame is the lesson frame.
struct CoursePage
{
    std::shared_ptr<FakeDocument> top;
    std::shared_ptr<FakeDocument> course;
    std::shared_ptr<FakeDocument> lessons;
};

// `lessonCounts[c]` lessons for category c; clicking a category link and then the course-menu
// item fills the lesson frame with that category's lessons, a plain link before each lesson.
CoursePage makeCoursePage(QList<int> lessonCounts = {21, 9, 7, 8});

} // namespace lumora::testing
