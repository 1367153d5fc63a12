#pragma once

// What the run benchmarks start from: the whole program on the real engine, its window shown at
// 1440 x 900, logged in to the site as the stand-in site's demo learner, the course page complete.

#include "app/program.h"
#include "event_wait.h"
#include "headless_engine.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <memory>

namespace lumora::bench {

struct LoggedInProgram
{
    explicit LoggedInProgram(const QUrl& site)
    {
        app::AppConfig config;
        config.site = site;
        config.stateFilePath = dir.filePath(QStringLiteral("boot.txt"));
        config.dataFolder = dir.path();
        program = std::make_unique<app::Program>(platform, config);
    }

    window::MainWindow& window() const { return program->window(); }
    bool courseComplete() const
    {
        return window().mainView().readyState() == platform::ReadyState::Complete;
    }
    // Starts up and logs in; false when the site's pages did not come.
    bool logIn()
    {
        program->start();
        window().resize(1440, 900);
        window().show();
        if (!testing::waitUntil([this] { return courseComplete(); }))
            return false;
        window().userNameBox()->setText(QStringLiteral("demo"));
        window().passwordBox()->setText(QStringLiteral("demo123"));
        window().loginButton()->click();
        return testing::waitUntil(
            [this] { return window().studyButton()->isEnabled() && courseComplete(); });
    }

    QTemporaryDir dir;
    testing::EnginePlatform platform{dir.filePath(QStringLiteral("browser"))};
    std::unique_ptr<app::Program> program;
};

} // namespace lumora::bench
