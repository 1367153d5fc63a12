#include "window/main_window.h"

#include "records/timetable.h"
#include "window/close_question.h"
#include "window/notice_panel.h"
#include "window/record_window.h"
#include "window/study_status.h"
#include "window/widget_layout.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStatusBar>

namespace lumora::window {

namespace {

// A control that shows its own text (a label, a box's title, a button) is read by it: an
// accessible name would stand in for that text and go stale when it changes. Others are named.
template <typename Widget>
Widget* named(Widget* widget, const char* objectName, const QString& accessibleName = {})
{
    widget->setObjectName(QString::fromLatin1(objectName));
    if (!accessibleName.isEmpty())
        widget->setAccessibleName(accessibleName);
    return widget;
}

QLabel* label(QWidget* parent, const char* name, const QString& text)
{
    auto* l = named(new QLabel(text, parent), name);
    l->setWordWrap(true);
    return l;
}

QGroupBox* box(QWidget* parent, const char* name, const QString& caption)
{
    return named(new QGroupBox(caption, parent), name);
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption)
{
    return named(new QPushButton(caption, parent), name);
}

} // namespace

MainWindow::MainWindow(platform::Platform& platform, platform::EventGate& gate, QWidget* parent)
    : QMainWindow(parent), m_gate(gate), m_dialogs(platform.dialogs())
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QString::fromUtf8(platform::kProgramTitle));
    buildControls(platform);
    connectControls();
}

MainWindow::~MainWindow()
{
    // The children are destroyed after this body, and losing their focus must not call back
    // into a window that is no longer whole.
    disconnect(m_focusFollower);
}

void MainWindow::buildControls(platform::Platform& platform)
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    // Design-time client area 15120 x 9915 twips.
    resize(pixels(15120), pixels(9915) + menuBar()->sizeHint().height());

    m_clearCacheAction = menuBar()->addAction(tr("清除缓存"));
    m_clearCacheAction->setObjectName(QStringLiteral("clearCacheAction"));
    m_studyRecordAction = menuBar()->addAction(tr("学习记录"));
    m_studyRecordAction->setObjectName(QStringLiteral("studyRecordAction"));
    m_siteAddressAction = menuBar()->addAction(tr("网站地址…"));
    m_siteAddressAction->setObjectName(QStringLiteral("siteAddressAction"));
    QMenu* settings = menuBar()->addMenu(tr("设置"));
    m_pageTimeAction = settings->addAction(tr("课件没有视频时按页面计时"));
    m_pageTimeAction->setObjectName(QStringLiteral("pageTimeAction"));
    m_pageTimeAction->setCheckable(true);
    m_recordAddressAction = settings->addAction(tr("学习记录页地址…"));
    m_recordAddressAction->setObjectName(QStringLiteral("recordAddressAction"));

    m_mainView = platform.createBrowser(client);
    m_firstShow = std::make_unique<FirstShow>(*this, *m_mainView);
    named(m_mainView->widget(), "mainView", tr("网页"));
    place(m_mainView->widget(), 120, 120, 18135, 12255);
    m_playerView = platform.createBrowser(client);
    named(m_playerView->widget(), "playerView", tr("课件"));
    place(m_playerView->widget(), 3480, 3960, 5895, 6255);
    m_playerView->widget()->hide();

    buildColumn(client);

    m_studyStatus = new StudyStatus(statusBar());
    // At its own width: the status bar's messages take the room left of it.
    statusBar()->addPermanentWidget(m_studyStatus, 0);
}

void MainWindow::buildColumn(QWidget* client)
{
    // The column keeps its controls' heights and tops; a window shorter than the column (a
    // laptop screen at 125% or 150%) scrolls it, and the browser views keep their full height.
    m_columnArea = named(new QScrollArea(client), "columnArea", tr("操作栏"));
    m_columnArea->setFrameShape(QFrame::NoFrame);
    m_columnArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_columnArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    auto* column = new QWidget;
    column->setObjectName(QStringLiteral("column"));
    place(column, 0, 0, kColumnWidth, kColumnHeight);
    m_columnArea->setWidget(column);
    place(m_columnArea, 18480, 0, kColumnWidth, kColumnHeight);

    m_noticePanel = new NoticePanel(column);
    place(m_noticePanel, 0, 3360, 2775, 3255);

    m_studyButton = button(column, "studyButton", tr("连续学习"));
    place(m_studyButton, 0, 6720, 2775, 615);
    m_studyButton->setEnabled(false);
    m_exitButton = button(column, "exitButton", tr("退出课件"));
    place(m_exitButton, 0, 7440, 2775, 615);

    m_loginBox = box(column, "loginBox", tr("登录"));
    place(m_loginBox, 0, 8160, 2775, 1935);
    place(label(m_loginBox, "userNameLabel", tr("用户名")), 120, 300, 900, 255);
    m_userNameBox = named(new QLineEdit(m_loginBox), "userNameBox", tr("用户名"));
    place(m_userNameBox, 1080, 240, 1455, 375);
    place(label(m_loginBox, "passwordLabel", tr("密  码")), 120, 780, 900, 255);
    m_passwordBox = named(new QLineEdit(m_loginBox), "passwordBox", tr("密  码"));
    m_passwordBox->setEchoMode(QLineEdit::Password);
    // One "*" per character, whatever the style's own mask.
    m_passwordBox->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    place(m_passwordBox, 1080, 720, 1455, 375);
    m_loginButton = button(m_loginBox, "loginButton", tr("登录"));
    place(m_loginButton, 1080, 1260, 1455, 495);

    buildProgressBox(column);
}

void MainWindow::buildProgressBox(QWidget* column)
{
    m_progressBox = box(column, "progressBox", tr("学习进度"));
    place(m_progressBox, 0, 10200, 2775, 2415);
    const auto list = [this](const char* name, const QString& accessible) {
        auto* widget = named(new QListWidget(m_progressBox), name, accessible);
        widget->setSelectionMode(QAbstractItemView::SingleSelection);
        return widget;
    };
    m_categoryList = list("categoryList", tr("课程类别"));
    place(m_categoryList, 120, 240, 1215, 2055);
    m_categoryList->addItems(records::categoryNames());
    m_categoryList->setEnabled(false);
    m_lessonList = list("lessonList", tr("课程列表"));
    place(m_lessonList, 1395, 240, 735, 2055);
    m_categoryLinkList = list("categoryLinkList", tr("类别链接"));
    place(m_categoryLinkList, 2190, 240, 465, 2055);
}

void MainWindow::connectControls()
{
    connect(m_studyButton, &QPushButton::clicked, this, &MainWindow::studyRequested);
    connect(m_exitButton, &QPushButton::clicked, this, &MainWindow::exitRequested);
    connect(m_loginButton, &QPushButton::clicked, this, &MainWindow::loginRequested);
    connect(m_clearCacheAction, &QAction::triggered, this, &MainWindow::clearCacheRequested);
    connect(m_studyRecordAction, &QAction::triggered, this, &MainWindow::openStudyRecord);
    connect(m_siteAddressAction, &QAction::triggered, this, &MainWindow::siteAddressRequested);
    connect(m_pageTimeAction, &QAction::toggled, this, &MainWindow::pageTimeToggled);
    connect(m_recordAddressAction, &QAction::triggered, this, &MainWindow::recordAddressRequested);
    connect(m_userNameBox, &QLineEdit::textChanged, this, &MainWindow::userNameEdited);
    connect(m_passwordBox, &QLineEdit::textChanged, this, &MainWindow::passwordEdited);
    // A selection, by click or by key, is the learner's choice; focus alone chooses nothing, and
    // selections made from code (showCatalogue) block these signals.
    const auto chosen = [](QListWidget* list, auto emitChoice) {
        connect(list, &QListWidget::itemSelectionChanged, list, [list, emitChoice] {
            const QList<QListWidgetItem*> selected = list->selectedItems();
            if (!selected.isEmpty())
                emitChoice(list->row(selected.constFirst()));
        });
    };
    chosen(m_categoryList, [this](int row) { emit categoryChosen(row); });
    chosen(m_lessonList, [this](int row) { emit lessonChosen(row); });
    chosen(m_categoryLinkList, [this](int) { emit categoryLinkChosen(); });
    // Whatever the keyboard reaches in the column is scrolled into view.
    m_focusFollower = connect(qApp, &QApplication::focusChanged, this,
                              [this](QWidget*, QWidget* now) { keepFocusInView(now); });
}

void MainWindow::setStudyRecord(RecordSources sources)
{
    m_recordSources = std::move(sources);
}

void MainWindow::openStudyRecord()
{
    if (!m_recordWindow)
        m_recordWindow = new RecordWindow(m_recordSources, this);
    m_recordWindow->show();
    m_recordWindow->raise();
    m_recordWindow->activateWindow();
}

void MainWindow::followRun()
{
    if (m_recordWindow)
        m_recordWindow->followRun();
}

void MainWindow::bringToFront()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void MainWindow::unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    close();
    emit windowUnloaded();
}

void MainWindow::showCredentials(const QString& userName, const QString& password)
{
    m_userNameBox->setText(userName);
    m_passwordBox->setText(password);
}

void MainWindow::unlockStudy()
{
    m_studyButton->setEnabled(true);
    m_categoryList->setEnabled(true);
}

namespace {

// Shows `positions` in `list` with `chosen` selected, without telling anyone of a choice.
void showPositions(QListWidget* list, const QList<int>& positions, int chosen)
{
    const QSignalBlocker quiet(list);
    QStringList texts;
    for (const int position : positions)
        texts.append(QString::number(position));
    bool same = list->count() == texts.size();
    for (int i = 0; same && i < list->count(); ++i)
        same = list->item(i)->text() == texts.at(i);
    if (!same) {
        list->clear();
        list->addItems(texts);
    }
    list->setCurrentRow(chosen < list->count() ? chosen : -1);
}

} // namespace

void MainWindow::showCatalogue(int chosenCategory, const QList<int>& lessonLinks, int chosenLesson,
                               const QList<int>& categoryLinks)
{
    {
        const QSignalBlocker quiet(m_categoryList);
        if (chosenCategory >= 0)
            m_categoryList->setCurrentRow(chosenCategory);
    }
    showPositions(m_lessonList, lessonLinks, chosenLesson);
    showPositions(m_categoryLinkList, categoryLinks, -1);
}

void MainWindow::showPlayerView(bool shown)
{
    QWidget* player = m_playerView->widget();
    if (shown) {
        placePlayerOverMain();
        player->show();
        player->raise();
    } else {
        player->hide();
    }
}

void MainWindow::placePlayerOverMain()
{
    m_playerView->widget()->setGeometry(m_mainView->widget()->geometry());
}

void MainWindow::setRunActive(bool active)
{
    m_runActive = active;
    m_siteAddressAction->setEnabled(!active);
}

void MainWindow::setLoginAvailable(bool available)
{
    m_loginButton->setEnabled(available);
}

void MainWindow::showStatusMessage(const QString& text)
{
    statusBar()->showMessage(text);
}

void MainWindow::showProgress(const study::StudySnapshot& snapshot)
{
    m_studyStatus->display(snapshot);
}

void MainWindow::showNotice(const QString& text)
{
    m_studyStatus->setNotice(text);
}

void MainWindow::showSaveFailure(bool failed)
{
    m_studyStatus->setSaveFailed(failed);
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    m_gate.dispatch([this] { layOut(LayoutPolicy::SkipFailingSteps); });
}

void MainWindow::showTrouble(NoticePanel::Topic topic, const QString& text)
{
    m_noticePanel->tell(topic, text);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // During a run the learner may rather keep it going, or close by mistake.
    const CloseChoice choice =
        m_unloaded || !m_runActive ? CloseChoice::Quit : askToClose(m_dialogs, m_trayAvailable);
    if (choice != CloseChoice::Quit) {
        event->ignore();
        if (choice == CloseChoice::HideInTray)
            hide();
        return;
    }
    // Not through the event gate: the program ends whatever a handler is waiting for.
    if (!m_unloaded)
        emit closing();
    QMainWindow::closeEvent(event);
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !m_activatedOnce) {
        m_activatedOnce = true;
        m_gate.dispatch([this] { layOut(LayoutPolicy::StopAtFailingStep); });
    }
}

void MainWindow::layOut(LayoutPolicy policy)
{
    // A column that does not fit gets its scroll bar beside it: the browser gives up that width.
    QWidget* client = centralWidget();
    const bool scrolls = m_columnArea->widget()->height() > client->height();
    const int columnWidth =
        m_loginBox->width() + (scrolls ? m_columnArea->verticalScrollBar()->sizeHint().width() : 0);
    WidgetLayoutTarget target(
        {client, m_mainView->widget(), m_playerView->widget(), m_columnArea, columnWidth});
    runLayout(target, policy);
    m_columnArea->resize(columnWidth, client->height());
}

void MainWindow::keepFocusInView(QWidget* focused)
{
    if (!focused || !m_columnArea->widget()->isAncestorOf(focused))
        return;
    // The whole control, not only its text cursor or current item (what ensureWidgetVisible
    // shows of a list).
    const QRect control(focused->mapTo(m_columnArea->widget(), QPoint()), focused->size());
    m_columnArea->ensureVisible(control.center().x(), control.center().y(),
                                control.width() / 2 + kFocusMargin,
                                control.height() / 2 + kFocusMargin);
}

} // namespace lumora::window
