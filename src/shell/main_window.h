#pragma once

// Form1: the program's one window. It owns every control, the shared state and all handlers.
// Each handler is named after its control and event and is defined in the folder of the
// subsystem that owns it:
//   shell/      Form_Load, Command11_Click (start-up, state file); Form_Resize, Form_Activate
//   page/       Command3_Click, fillLoginForm (login); Command5_Click, clearhc_Click and the
//               NewWindow2 / WindowClosing events of WebBrowser1 (housekeeping)
//   catalogue/  WebBrowser1_DocumentComplete, Command15_Click, Command17_Click (course list);
//               List1_Click, List2_Click, List3_Click (selection)
//   study/      Command12_Click, saveStudiedMinutes (timetable); Command2_Click, Timer1_Timer,
//               checkLessonProgress, TimeDelay (driver); Command16_Click (exit courseware)
// Handlers call one another directly; a called handler runs to its end before the caller goes
// on. Events from outside (buttons, user selections, ticks, browser events) enter through one
// EventGate, so no handler ever runs inside another except during TimeDelay.

#include "page/page_access.h"
#include "platform/platform.h"
#include "shell/app_config.h"
#include "shell/event_gate.h"
#include "shell/list_box.h"
#include "shell/state_file.h"
#include "study/player_watch.h"
#include "study/progress.h"
#include "study/run_event.h"

#include <QMainWindow>
#include <QString>
#include <array>
#include <chrono>
#include <memory>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace lumora::study {
class RecordWindow;
class StudyStatus;
} // namespace lumora::study

namespace lumora::shell {

class Form1 final : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr const char* kCaption = "Lumora自动学习型浏览器v1.5";
    static constexpr int kStudyTickMs = 20000;

    Form1(platform::Platform& platform, AppConfig config, QWidget* parent = nullptr);
    ~Form1() override;
    Q_DISABLE_COPY_MOVE(Form1)

    // Runs Form_Load through the event gate; call once, before the window is shown.
    void load();

    // --- Controls (names as the window has always called them) ---
    std::unique_ptr<platform::BrowserControl> WebBrowser1; // the site's main view
    std::unique_ptr<platform::BrowserControl> WebBrowser2; // receives every pop-up: the player
    QGroupBox* Frame1 = nullptr;                           // "登录"
    QLabel* Label10 = nullptr;
    QLineEdit* Text3 = nullptr; // site user name
    QLabel* Label9 = nullptr;
    QLineEdit* Text2 = nullptr; // site password
    QLabel* Label8 = nullptr;
    QLineEdit* Text1 = nullptr;       // verification code, hidden, always "ok"
    QPushButton* Command3 = nullptr;  // "登录"
    QPushButton* Command2 = nullptr;  // "连续学习"
    QPushButton* Command16 = nullptr; // "退出课件"
    QGroupBox* Frame3 = nullptr;      // "学习进度"
    std::unique_ptr<ListBox> List3;   // categories
    std::unique_ptr<ListBox> List2;   // lesson link positions
    std::unique_ptr<ListBox> List1;   // category link positions
    QGroupBox* Frame2 = nullptr;      // "注意"
    QLabel* Label1 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label6 = nullptr;
    std::unique_ptr<ListBox> List7; // course-study item positions, hidden
    std::unique_ptr<ListBox> List4; // studied minutes per lesson, hidden
    std::unique_ptr<ListBox> List5; // required minutes per lesson, hidden
    std::unique_ptr<platform::Timer> Timer1;
    QAction* clearhc = nullptr;     // menu item "清除缓存"
    QAction* studyRecord = nullptr; // menu item "学习记录"

    // --- Shared state ---
    qint16 categoryIndex = 0;
    qint16 lessonIndex = 0;
    bool noticeShown = false;
    qint16 tickCount = 0;
    std::array<QString, 4> requiredMinutesTable;
    std::array<QString, 4> studiedMinutesRecord;

    // --- Handlers: shell ---
    void Form_Load();
    void Command11_Click();
    void Form_Resize();
    void Form_Activate();
    // --- Handlers: page ---
    void Command3_Click();
    void fillLoginForm();
    void Command5_Click();
    void clearhc_Click();
    platform::BrowserControl* WebBrowser1_NewWindow2();
    void WebBrowser1_WindowClosing();
    // --- Handlers: catalogue ---
    void WebBrowser1_DocumentComplete();
    void Command15_Click();
    void Command17_Click();
    void List3_Click();
    void List1_Click();
    void List2_Click();
    // --- Handlers: study ---
    void Command12_Click();
    void saveStudiedMinutes();
    void Command2_Click();
    void Timer1_Timer();
    study::LessonProgress checkLessonProgress();
    void TimeDelay(float seconds);
    void Command16_Click();

    // --- For tests and the study panel ---
    const AppConfig& config() const { return m_config; }
    EventGate& gate() { return m_gate; }
    // Whether the last save of the state file failed.
    bool lastSaveFailed() const { return m_lastSaveFailed; }
    bool unloaded() const { return m_unloaded; }
    // A run is logging in again after the site's session ended.
    bool recovering() const { return m_recovery.step != Recovery::Step::Idle; }
    study::StudyStatus* studyStatus() const { return m_studyStatus; }
    // The "学习记录" window: opened by its menu item, created the first time.
    void openStudyRecord();
    study::RecordWindow* recordWindow() const { return m_recordWindow; }

signals:
    // The window was unloaded: the program is ending.
    void unloadedSignal();
    // Something happened in a study run (for the run record and the tray).
    void runEvent(const lumora::study::RunEvent& event);
    // The study panel's figures changed.
    void progressChanged(const lumora::study::StudySnapshot& snapshot);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildControls();
    void connectEvents();
    page::PageAccess mainPage() const { return page::PageAccess(*WebBrowser1); }
    // Hides or shows the pop-up view over the main one.
    void showPlayer(bool visible);
    void reportSaveResult(bool saved);
    void unload();
    // Study helpers of the driver.
    void creditOneMinute();
    void endStudyRun();
    void updateStudyStatus();
    void report(study::RunEventKind kind, int lesson = -1, int minutes = 0,
                const QString& detail = {});
    // Command2_Click's steps after the notice: opens the category and the lesson at `lesson`.
    void openCategoryAt(int lesson);
    // The next lesson of the category, or the next category after its last lesson.
    void goToNextLesson();
    // Honest minutes: what the tick found of the player, and what came of it.
    study::PlayerState observePlayer();
    study::TickVerdict watchPlayer();
    void reopenLesson(study::PlayerState state);
    void skipLesson();
    // Session recovery: logging in again with the saved credentials, then resuming.
    void beginRecovery();
    void continueRecovery();
    void submitSavedLogin();
    void retryRecoveryLater(const QString& why);
    void resumeRun();
    void pauseRun(const QString& why);
    bool coursePageShown();
    void setStudyNotice(const QString& text);

    platform::Platform& m_platform;
    AppConfig m_config;
    StateFileStore m_stateFile;
    EventGate m_gate;
    study::StudyStatus* m_studyStatus = nullptr;
    study::RecordWindow* m_recordWindow = nullptr;
    bool m_lastSaveFailed = false;
    bool m_saveFailureShown = false;
    bool m_unloaded = false;
    bool m_activatedOnce = false;
    int m_runMinutes = 0; // minutes credited since the run started

    // Keeping a long run honest.
    struct Recovery
    {
        enum class Step
        {
            Idle,
            Attempt,          // at the next tick whose time has come: log in
            OpeningLoginPage, // the main view was sent to the login page
            LoginSubmitted,   // the saved credentials were submitted
        };
        Step step = Step::Idle;
        int failedAttempts = 0;
        std::chrono::milliseconds nextAttemptAt{0};
        int mainLoadsAtStep = 0; // WebBrowser1's completed documents when the step began
        int ticksInStep = 0;
    };
    study::PlayerWatch m_playerWatch;
    Recovery m_recovery;
    int m_playerLoadAtClick = 0; // WebBrowser2's last load when a lesson's link was clicked
    int m_mainPageLoads = 0;     // documents completed in WebBrowser1 so far

    friend class WindowLayoutTarget;
};

} // namespace lumora::shell
