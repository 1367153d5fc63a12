#include "window/tray_icon.h"

#include "platform/logging.h"
#include "records/run_event.h"
#include "records/timetable.h"
#include "study/progress.h"
#include "window/main_window.h"

#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QSystemTrayIcon>

namespace lumora::window {

namespace {

constexpr int kNotificationMs = 10000;
constexpr qsizetype kMaxReasonChars = 200;
// Windows shows at most 127 characters of a tray icon's tooltip.
constexpr qsizetype kMaxToolTipChars = 120;

} // namespace

QString trayToolTip(const study::StudySnapshot& s)
{
    QStringList parts = {study::whereText(s)};
    if (!s.categoryName.isEmpty()) {
        if (s.lesson >= 0)
            parts.last() += TrayIcon::tr("（本课 %1 / %2 分钟）").arg(s.studied).arg(s.target);
        // A stall comes before what may be cut off.
        if (!s.stall.isEmpty())
            parts << s.stall;
        parts << TrayIcon::tr("预计剩余 %1").arg(records::formatDuration(s.minutesLeft));
    }
    const QString line = QStringLiteral("Lumora · ") + parts.join(TrayIcon::tr("，"));
    return line.size() <= kMaxToolTipChars ? line : line.left(kMaxToolTipChars - 1) + QChar(0x2026);
}

std::optional<TrayNotification> trayNotificationFor(const records::RunEvent& event)
{
    switch (event.kind) {
    case records::RunEventKind::CategoryFinished: {
        const QString name = records::isCategory(event.category)
                                 ? records::categoryNames().at(event.category)
                                 : TrayIcon::tr("本类别");
        return TrayNotification{TrayIcon::tr("类别已学完"),
                                TrayIcon::tr("%1的课已全部学完。").arg(name), false};
    }
    case records::RunEventKind::RunEnded: {
        const QString minutes = TrayIcon::tr("本次共学习 %1 分钟。").arg(event.minutes);
        const bool allDone = event.category >= records::kCategoryCount && event.detail.isEmpty();
        return TrayNotification{TrayIcon::tr("学习已结束"),
                                allDone ? TrayIcon::tr("全部课已学完，") + minutes : minutes,
                                false};
    }
    case records::RunEventKind::Stalled:
        return TrayNotification{
            TrayIcon::tr("学习未能计时"),
            TrayIcon::tr("已有 %1 分钟未能计时：%2")
                .arg(event.minutes)
                .arg((event.shownDetail.isEmpty() ? event.detail : event.shownDetail)
                         .left(kMaxReasonChars)),
            true};
    case records::RunEventKind::SaveFailed:
        return TrayNotification{TrayIcon::tr("学习进度未能保存"),
                                event.detail.left(kMaxReasonChars), true};
    case records::RunEventKind::SiteStopped:
        return TrayNotification{
            TrayIcon::tr("网站已停止计时"),
            (event.shownDetail.isEmpty() ? event.detail : event.shownDetail).left(kMaxReasonChars),
            true};
    case records::RunEventKind::SiteCountsAgain:
        return TrayNotification{TrayIcon::tr("网站恢复计时"), TrayIcon::tr("学习继续。"), false};
    case records::RunEventKind::RunPaused: {
        const QString reason = event.detail.left(kMaxReasonChars).trimmed();
        const QString ask = TrayIcon::tr("请回到窗口处理。");
        return TrayNotification{TrayIcon::tr("学习已暂停"),
                                reason.isEmpty() ? ask : reason + QLatin1Char('\n') + ask, true};
    }
    default:
        return std::nullopt;
    }
}

TrayIcon::TrayIcon(MainWindow& window, bool systemTray, QObject* parent)
    : QObject(parent), m_window(window), m_toolTip(trayToolTip({}))
{
    // The menu follows the window, tray or not: its visibility and its buttons' enabled states.
    buildMenu();
    m_window.installEventFilter(this);
    m_window.studyButton()->installEventFilter(this);
    m_window.exitButton()->installEventFilter(this);
    updateActions();
    if (!systemTray) {
        qCInfo(lcStudy) << "no system tray: study progress is shown in the window only";
        return;
    }
    m_icon = new QSystemTrayIcon(this);
    m_icon->setContextMenu(m_menu.get());
    m_icon->setToolTip(m_toolTip);
    updateIcon();
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    toggleWindow();
            });
    connect(m_icon, &QSystemTrayIcon::messageClicked, &m_window, &MainWindow::bringToFront);
    m_icon->show();
    m_window.setTrayAvailable(true);
}

TrayIcon::~TrayIcon()
{
    // The icon goes before the menu it shows.
    delete m_icon;
}

void TrayIcon::buildMenu()
{
    m_menu = std::make_unique<QMenu>();
    m_toggle = m_menu->addAction(QString(), this, &TrayIcon::toggleWindow);
    m_menu->addSeparator();
    // The window's own buttons: a disabled button ignores click(), and a click enters the
    // window's event gate like any other.
    m_study = m_menu->addAction(m_window.studyButton()->text(), m_window.studyButton(),
                                &QPushButton::click);
    m_exitCourseware = m_menu->addAction(m_window.exitButton()->text(), m_window.exitButton(),
                                         &QPushButton::click);
    m_menu->addSeparator();
    m_menu->addAction(tr("退出程序"), this, &TrayIcon::quit);
}

bool TrayIcon::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::EnabledChange:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::WindowStateChange:
        updateActions();
        break;
    case QEvent::WindowIconChange:
        if (watched == &m_window && m_icon)
            updateIcon();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void TrayIcon::updateActions()
{
    const bool inView = m_window.isVisible() && !m_window.isMinimized();
    m_toggle->setText(inView ? tr("隐藏窗口") : tr("显示窗口"));
    m_study->setEnabled(m_window.studyButton()->isEnabled());
    m_exitCourseware->setEnabled(m_window.exitButton()->isEnabled());
}

void TrayIcon::updateIcon()
{
    // The window's icon, which is the application's unless the window has its own.
    QIcon icon = m_window.windowIcon();
    if (icon.isNull())
        icon = m_window.style()->standardIcon(QStyle::SP_ComputerIcon);
    m_icon->setIcon(icon);
}

void TrayIcon::toggleWindow()
{
    if (m_window.isVisible() && !m_window.isMinimized())
        m_window.hide();
    else
        m_window.bringToFront();
}

void TrayIcon::quit()
{
    // Closing the window first gives it its say, as its own close button would.
    if (m_window.close())
        QCoreApplication::quit();
}

void TrayIcon::showProgress(const study::StudySnapshot& snapshot)
{
    m_toolTip = trayToolTip(snapshot);
    if (m_icon)
        m_icon->setToolTip(m_toolTip);
}

void TrayIcon::notify(const records::RunEvent& event)
{
    const std::optional<TrayNotification> note = trayNotificationFor(event);
    if (!m_icon || !note || !QSystemTrayIcon::supportsMessages())
        return;
    m_icon->showMessage(note->title, note->text,
                        note->warning ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information,
                        kNotificationMs);
}

} // namespace lumora::window
