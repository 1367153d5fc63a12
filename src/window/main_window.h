#pragma once

// The program's one window: the site's main view on the left, with the player view laid over it
// while a lesson plays, and a narrow column on the right (notice, "连续学习", "退出课件", the
// login box, the study-progress lists). It turns the learner's actions into signals and shows
// what the roles report; it holds no site logic and no run state.

#include "platform/browser_control.h"
#include "platform/event_gate.h"
#include "platform/platform.h"
#include "records/minute_records.h"
#include "study/progress.h"
#include "window/first_show.h"
#include "window/layout.h"
#include "window/notice_panel.h"
#include "window/record_window.h"

#include <QMainWindow>
#include <QString>
#include <memory>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QScrollArea;

namespace lumora::window {

class StudyStatus;

class MainWindow final : public QMainWindow
{
    Q_OBJECT
public:
    MainWindow(platform::Platform& platform, platform::EventGate& gate, QWidget* parent = nullptr);
    ~MainWindow() override;
    Q_DISABLE_COPY_MOVE(MainWindow)

    // The browser views the roles work with.
    platform::BrowserControl& mainView() const { return *m_mainView; }
    platform::BrowserControl& playerView() const { return *m_playerView; }

    // The learner's controls, for the tray, tests and accessibility.
    QLineEdit* userNameBox() const { return m_userNameBox; }
    QLineEdit* passwordBox() const { return m_passwordBox; }
    QPushButton* loginButton() const { return m_loginButton; }
    QPushButton* studyButton() const { return m_studyButton; }
    QPushButton* exitButton() const { return m_exitButton; }
    // The study-progress lists: the categories, the lesson links and the category links.
    QListWidget* categoryList() const { return m_categoryList; }
    QListWidget* lessonList() const { return m_lessonList; }
    QListWidget* categoryLinkList() const { return m_categoryLinkList; }
    QAction* clearCacheAction() const { return m_clearCacheAction; }
    QAction* studyRecordAction() const { return m_studyRecordAction; }
    QAction* siteAddressAction() const { return m_siteAddressAction; }
    // "课件没有视频时按页面计时" (checkable).
    QAction* pageTimeAction() const { return m_pageTimeAction; }
    QAction* recordAddressAction() const { return m_recordAddressAction; }
    StudyStatus* studyStatus() const { return m_studyStatus; }
    NoticePanel* noticePanel() const { return m_noticePanel; }

    // The "学习记录" window: opened by its menu item, created the first time from `sources`.
    void setStudyRecord(RecordSources sources);
    void openStudyRecord();
    RecordWindow* recordWindow() const { return m_recordWindow; }

    // The start's first appearance: at the first page's load, or `latestMs` from now.
    void showOnFirstPage(int latestMs = FirstShow::kLatestMs)
    {
        m_firstShow->showOnFirstPage(latestMs);
    }
    // Brings the window in view: restored when minimised, shown when hidden in the tray, in front.
    void bringToFront();
    // Closes the window for good: the program is ending. Once only.
    void unload();
    bool unloaded() const { return m_unloaded; }

    // What the roles report.
    void showCredentials(const QString& userName, const QString& password);
    // The site's course page showed: study and the category list may be used.
    void unlockStudy();
    // The catalogue as it stands: the category chosen last (-1: none), the positions of the
    // lesson links with the lesson chosen (-1: none), and the positions of the category links.
    void showCatalogue(int chosenCategory, const QList<int>& lessonLinks, int chosenLesson,
                       const QList<int>& categoryLinks);
    // The player view lies over the main view and shows, or hides.
    void showPlayerView(bool shown);
    void setLoginAvailable(bool available);
    void showStatusMessage(const QString& text);
    void showProgress(const study::StudySnapshot& snapshot);
    void showNotice(const QString& text);
    void showSaveFailure(bool failed);
    // What stands in the learner's way, told in the notice panel under `topic` (empty: over).
    void showTrouble(NoticePanel::Topic topic, const QString& text);
    // Whether a study run is active: closing the window then asks first, and the site's address
    // stays as it is.
    void setRunActive(bool active);
    // Whether the desktop's tray holds the program's icon, for the window to wait in.
    void setTrayAvailable(bool available) { m_trayAvailable = available; }
    // Something was added to the run record.
    void followRun();

    // Fits the browser views and the column to the window's size. A resize skips a step that
    // fails (a size below the reserves), the first activation stops at it.
    void layOut(LayoutPolicy policy);
    // Places the player view exactly over the main view.
    void placePlayerOverMain();

signals:
    void studyRequested();
    void exitRequested();
    void loginRequested();
    void clearCacheRequested();
    // The learner chose an entry of a study-progress list.
    void categoryChosen(int category);
    void lessonChosen(int lesson);
    void categoryLinkChosen();
    // "网站地址…": the learner wants to see or change the training site's address.
    void siteAddressRequested();
    // The learner turned page time for lesson pages without a video on or off.
    void pageTimeToggled(bool enabled);
    // "学习记录页地址…".
    void recordAddressRequested();
    void userNameEdited(const QString& userName);
    void passwordEdited(const QString& password);
    // The learner (or the tray's quit) closes the window, with no run or choosing
    // "结束学习并退出": the program ends.
    void closing();
    // The window was unloaded: the program is ending.
    void windowUnloaded();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls(platform::Platform& platform);
    void buildColumn(QWidget* client);
    // The study-progress lists at the column's foot.
    void buildProgressBox(QWidget* column);
    void connectControls();
    void keepFocusInView(QWidget* focused);

    platform::EventGate& m_gate;
    platform::Dialogs& m_dialogs;
    std::unique_ptr<platform::BrowserControl> m_mainView;
    std::unique_ptr<FirstShow> m_firstShow;
    std::unique_ptr<platform::BrowserControl> m_playerView;

    // The right-hand column's extent in twips, from the window's top to the progress box's foot.
    static constexpr float kColumnWidth = 2775;
    static constexpr float kColumnHeight = 10200 + 2415;
    // Pixels kept in view around a focused control of the column.
    static constexpr int kFocusMargin = 8;

    QScrollArea* m_columnArea = nullptr;
    NoticePanel* m_noticePanel = nullptr;
    QPushButton* m_studyButton = nullptr;
    QPushButton* m_exitButton = nullptr;
    QGroupBox* m_loginBox = nullptr;
    QLineEdit* m_userNameBox = nullptr;
    QLineEdit* m_passwordBox = nullptr;
    QPushButton* m_loginButton = nullptr;
    QGroupBox* m_progressBox = nullptr;
    QListWidget* m_categoryList = nullptr;
    QListWidget* m_lessonList = nullptr;
    QListWidget* m_categoryLinkList = nullptr;
    QAction* m_clearCacheAction = nullptr;
    QAction* m_studyRecordAction = nullptr;
    QAction* m_siteAddressAction = nullptr;
    QAction* m_pageTimeAction = nullptr;
    QAction* m_recordAddressAction = nullptr;
    StudyStatus* m_studyStatus = nullptr;
    RecordWindow* m_recordWindow = nullptr;
    QMetaObject::Connection m_focusFollower;
    RecordSources m_recordSources;
    bool m_unloaded = false;
    bool m_activatedOnce = false;
    bool m_runActive = false;
    bool m_trayAvailable = false;
};

} // namespace lumora::window
