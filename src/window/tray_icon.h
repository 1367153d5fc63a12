#pragma once

// The tray icon: the study panel's figures in its tooltip, a menu that works the window's own
// buttons, and a desktop notification when a category is finished, the run ends, or a paused
// run needs the learner. Without a system tray (e.g. the offscreen platform) nothing shows.

#include <QObject>
#include <QString>
#include <memory>
#include <optional>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace lumora::records {
struct RunEvent;
}
namespace lumora::study {
struct StudySnapshot;
}

namespace lumora::window {

class MainWindow;

// The tooltip for the study panel's figures: the state in one line, short enough for every
// desktop's tray.
QString trayToolTip(const study::StudySnapshot& snapshot);

struct TrayNotification
{
    QString title;
    QString text;
    bool warning = false; // the learner has to act
};

// The notification an event deserves, if any.
std::optional<TrayNotification> trayNotificationFor(const records::RunEvent& event);

class TrayIcon final : public QObject
{
    Q_OBJECT
public:
    // `systemTray`: the desktop has a tray to show the icon in.
    TrayIcon(MainWindow& window, bool systemTray, QObject* parent = nullptr);
    ~TrayIcon() override;
    Q_DISABLE_COPY_MOVE(TrayIcon)

    // Whether the desktop has a tray and the icon is in it.
    bool shown() const { return m_icon != nullptr; }
    // The icon's menu, kept up to date whether or not there is a tray to show it in.
    QMenu* menu() const { return m_menu.get(); }
    // What the icon's tool tip says, kept likewise.
    QString toolTip() const { return m_toolTip; }

    // The study panel's figures changed.
    void showProgress(const study::StudySnapshot& snapshot);
    // Something happened in the run that may deserve a notification.
    void notify(const records::RunEvent& event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenu();
    void updateActions();
    void updateIcon();
    void toggleWindow();
    void quit();

    MainWindow& m_window;
    std::unique_ptr<QMenu> m_menu; // a menu without a parent widget: owned here
    QSystemTrayIcon* m_icon = nullptr;
    QAction* m_toggle = nullptr;
    QAction* m_study = nullptr;
    QAction* m_exitCourseware = nullptr;
    QString m_toolTip;
};

} // namespace lumora::window
