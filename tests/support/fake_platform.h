#pragma once

// Fakes of the platform for unit tests: no real waits, no real browser.

#include "fake_browser.h"
#include "platform/platform.h"

#include <QStringList>
#include <functional>
#include <optional>
#include <utility>

namespace lumora::testing {

// Time moves only when a handler waits; a wait jumps straight to its deadline.
class FakeClock final : public platform::Clock
{
public:
    std::chrono::milliseconds now() const override { return m_now; }
    std::chrono::milliseconds wallNow() const override { return m_now + m_slept; }
    void processEventsUntil(std::chrono::milliseconds deadline) override
    {
        eventLoopRuns();
        if (duringWait)
            duringWait();
        if (m_now < deadline)
            m_now = deadline;
    }
    void advance(std::chrono::milliseconds by) { m_now += by; }
    // The machine sleeps for `d`: the wall clock moves on, the monotonic one does not.
    void sleep(std::chrono::milliseconds d) { m_slept += d; }

    // Runs inside each wait, as the events that a real wait would deliver.
    std::function<void()> duringWait;
    // What the event loop does on its own (loads ending, answers arriving); the platform's.
    std::function<void()> eventLoopRuns = [] {};

private:
    std::chrono::milliseconds m_now{1000};
    std::chrono::milliseconds m_slept{1'700'000'000'000};
};

class FakeTimer final : public platform::Timer
{
public:
    void setInterval(int milliseconds) override { m_interval = milliseconds; }
    int interval() const override { return m_interval; }
    void setEnabled(bool enabled) override { m_enabled = enabled; }
    bool isEnabled() const override { return m_enabled; }
    // A tick as the platform would deliver it: only while enabled, and, as with a QTimer, not
    // while the handler of a tick of this timer still runs. The event loop has run since the
    // last one.
    void fire()
    {
        if (!m_enabled || m_firing)
            return;
        eventLoopRuns();
        m_firing = true;
        emit tick();
        m_firing = false;
    }
    std::function<void()> eventLoopRuns = [] {};

private:
    int m_interval = 0;
    bool m_enabled = false, m_firing = false;
};

class FakeDialogs final : public platform::Dialogs
{
public:
    struct Shown
    {
        QString text, title;
        platform::MessageIcon icon;
    };
    void message(const QString& text, const QString& title, platform::MessageIcon icon) override
    {
        shown.append({text, title, icon});
        texts.append(text);
        if (whileOpen)
            whileOpen();
    }
    // Each box to type in shows what it was given filled in (`asked`) and takes the next of
    // `answers`; with none left, the learner cancels it.
    std::optional<QString> askText(const QString&, const QString&, const QString& text) override
    {
        asked.append(text);
        if (answers.isEmpty())
            return std::nullopt;
        return answers.takeFirst();
    }
    // A box to save a file is answered the same way; `asked` gets the path it suggests.
    std::optional<QString> askSavePath(const QString&, const QString& suggested,
                                       const QString&) override
    {
        return askText({}, {}, suggested);
    }

    // A question is answered with the next of `choices` (an index into its answers); with none
    // left, as by Esc: its last answer. Its answers are kept in `offered`.
    int choose(const QString& text, const QString&, const QStringList& answers) override
    {
        questions.append(text);
        offered = answers;
        const int last = int(answers.size()) - 1;
        return choices.isEmpty() ? last : qBound(0, choices.takeFirst(), last);
    }

    QList<Shown> shown;
    QStringList texts; // the texts of those boxes
    QStringList asked, answers;
    QStringList questions, offered;
    QList<int> choices;
    // Runs while a box is open (events arriving while the user reads it).
    std::function<void()> whileOpen;
};

class FakeBrowsingData final : public platform::BrowsingData
{
public:
    void clearCache() override { ++cacheClears; }
    void clearEverything() override { ++fullClears; }
    int cacheClears = 0, fullClears = 0;
};

// As the real check: a check started now is answered later, from the event loop (deliver()),
// with what the site said when it was asked; nothing is known before the first answer, and no
// check starts while one is under way. Checks are counted.
class FakeSiteProbe final : public platform::SiteProbe
{
public:
    void check(const QUrl& url) override
    {
        ++checks;
        lastUrl = url;
        if (!m_pending)
            m_pending = site;
    }
    Answer lastAnswer() const override { return m_last; }
    void deliver()
    {
        if (m_pending)
            m_last = *std::exchange(m_pending, std::nullopt);
    }

    // What the site answers a check now.
    Answer site = Answer::Reachable;
    int checks = 0;
    QUrl lastUrl;

private:
    std::optional<Answer> m_pending;
    Answer m_last = Answer::Unknown;
};

// Held as the caller asked, like the real one, whatever the system allows.
class FakeSleepInhibitor final : public platform::SleepInhibitor
{
public:
    void hold(const QString&) override { m_held = true; }
    void release() override { m_held = false; }
    bool held() const override { return m_held; }

private:
    bool m_held = false;
};

// Holds what the caller asked for, as the real one registers it.
class FakeRestartRegistration final : public platform::RestartRegistration
{
public:
    void hold(const QStringList& arguments) override { held = arguments; }
    void release() override { held.reset(); }
    std::optional<QStringList> held; // the arguments to start again with, while registered
};

class FakePlatform : public platform::Platform
{
public:
    // `systemTray`: the desktop has a tray.
    explicit FakePlatform(bool systemTray = false);
    // What the event loop does between two ticks and inside waits: loads under way end, the
    // site check's answer arrives, and what was posted for a time now past runs.
    void runEventLoop();
    // Runs `action` from the event loop once the fake clock has moved `delay` on: a page that
    // takes its time.
    void later(std::chrono::milliseconds delay, std::function<void()> action)
    {
        m_later.append({fakeClock.now() + delay, std::move(action)});
    }

    std::unique_ptr<platform::BrowserControl> createBrowser(QWidget* parent) override;
    std::unique_ptr<platform::Timer> createTimer() override;
    platform::Clock& clock() override { return fakeClock; }
    platform::Dialogs& dialogs() override { return fakeDialogs; }
    platform::BrowsingData& browsingData() override { return fakeData; }
    platform::SiteProbe& siteProbe() override { return fakeProbe; }
    platform::SleepInhibitor& sleepInhibitor() override { return fakeSleep; }
    platform::RestartRegistration& restartRegistration() override { return fakeRestart; }
    platform::Files& files() override { return *fileSystem; }
    bool hasSystemTray() override { return systemTray; }

    // The controls handed out, in order: the main view first, then the player view.
    QList<FakeBrowser*> browsers;
    // The first timer handed out (the study run's) and all of them, in order.
    FakeTimer* timer = nullptr;
    QList<FakeTimer*> timers;
    FakeClock fakeClock;
    FakeDialogs fakeDialogs;
    FakeBrowsingData fakeData;
    FakeSiteProbe fakeProbe;
    FakeSleepInhibitor fakeSleep;
    FakeRestartRegistration fakeRestart;
    platform::Files* fileSystem = &platform::systemFiles(); // a test's FakeFiles, if it sets one
    const bool systemTray;

private:
    QList<std::pair<std::chrono::milliseconds, std::function<void()>>> m_later;
};

} // namespace lumora::testing
