#include "shell/main_window.h"

#include "shell/layout.h"
#include "study/record_window.h"
#include "study/study_log.h"
#include "study/study_status.h"

#include <QAction>
#include <QDir>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>

namespace lumora::shell {

namespace {

// Design-time rectangles are in twips; widgets take whole pixels.
int px(float twips)
{
    return qRound(twips / kTwipsPerPixel);
}

void place(QWidget* widget, float left, float top, float width, float height)
{
    widget->setGeometry(px(left), px(top), px(width), px(height));
}

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
    auto* l = named(new QLabel(text, parent), name, text);
    l->setWordWrap(true);
    return l;
}

QGroupBox* frame(QWidget* parent, const char* name, const QString& caption)
{
    return named(new QGroupBox(caption, parent), name, caption);
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption)
{
    return named(new QPushButton(caption, parent), name, caption);
}

} // namespace

// Connects the layout steps to the window's widgets: twips in, whole pixels held.
class WindowLayoutTarget final : public LayoutTarget
{
public:
    explicit WindowLayoutTarget(Form1& form) : m_form(form) {}

    float innerWidth() const override { return m_form.centralWidget()->width() * kTwipsPerPixel; }
    float innerHeight() const override { return m_form.centralWidget()->height() * kTwipsPerPixel; }
    float frame1Width() const override { return m_form.Frame1->width() * kTwipsPerPixel; }

    bool setBrowserWidth(float width) override { return resize(browser(), width, true); }
    bool setBrowserHeight(float height) override { return resize(browser(), height, false); }
    float browserLeft() const override { return browser()->x() * kTwipsPerPixel; }
    float browserTop() const override { return browser()->y() * kTwipsPerPixel; }
    float browserWidth() const override { return browser()->width() * kTwipsPerPixel; }
    float browserHeight() const override { return browser()->height() * kTwipsPerPixel; }

    bool setColumnLeft(ColumnControl control, float left) override
    {
        QWidget* widget = column(control);
        if (left < 0)
            return false;
        widget->move(px(left), widget->y());
        return true;
    }

    bool setPopupWidth(float width) override { return resize(popup(), width, true); }
    bool setPopupHeight(float height) override { return resize(popup(), height, false); }
    bool setPopupTop(float top) override
    {
        popup()->move(popup()->x(), px(top));
        return true;
    }
    bool setPopupLeft(float left) override
    {
        popup()->move(px(left), popup()->y());
        return true;
    }

    void repaint() override { m_form.update(); }

private:
    QWidget* browser() const { return m_form.WebBrowser1->widget(); }
    QWidget* popup() const { return m_form.WebBrowser2->widget(); }

    QWidget* column(ColumnControl control) const
    {
        switch (control) {
        case ColumnControl::Frame1:
            return m_form.Frame1;
        case ColumnControl::Frame2:
            return m_form.Frame2;
        case ColumnControl::Frame3:
            return m_form.Frame3;
        case ColumnControl::Command2:
            return m_form.Command2;
        case ColumnControl::Command16:
            return m_form.Command16;
        }
        return m_form.Frame1;
    }

    // Qt would take a negative length and clamp it; the window refuses it like a control would.
    static bool resize(QWidget* widget, float twips, bool width)
    {
        if (twips < 0)
            return false;
        if (width)
            widget->resize(px(twips), widget->height());
        else
            widget->resize(widget->width(), px(twips));
        return true;
    }

    Form1& m_form;
};

Form1::Form1(platform::Platform& platform, AppConfig config, QWidget* parent)
    : QMainWindow(parent), m_platform(platform), m_config(std::move(config)),
      m_stateFile(m_config.stateFilePath, m_config.stateFileFallback, m_config.olderStateFiles)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromUtf8(kCaption));
    buildControls();
    connectEvents();
}

Form1::~Form1()
{
    // The timer's tick must not reach a half-destroyed window.
    if (Timer1)
        Timer1->disconnect(this);
}

void Form1::buildControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    // Design-time client area 15120 x 9915 twips.
    resize(px(15120), px(9915) + menuBar()->sizeHint().height());

    clearhc = menuBar()->addAction(QStringLiteral("清除缓存"));
    clearhc->setObjectName(QStringLiteral("clearhc"));
    studyRecord = menuBar()->addAction(QStringLiteral("学习记录"));
    studyRecord->setObjectName(QStringLiteral("studyRecord"));

    WebBrowser1 = m_platform.createBrowser(client);
    named(WebBrowser1->widget(), "WebBrowser1", QStringLiteral("网页"));
    place(WebBrowser1->widget(), 120, 120, 18135, 12255);
    WebBrowser2 = m_platform.createBrowser(client);
    named(WebBrowser2->widget(), "WebBrowser2", QStringLiteral("课件"));
    place(WebBrowser2->widget(), 3480, 3960, 5895, 6255);
    WebBrowser2->widget()->hide();

    Frame2 = frame(client, "Frame2", QStringLiteral("注意"));
    place(Frame2, 18480, 3360, 2775, 3255);
    Label1 = label(Frame2, "Label1", QStringLiteral("欢迎免费定制远程培训软件"));
    place(Label1, 120, 240, 2535, 255);
    Label7 = label(Frame2, "Label7", QStringLiteral("建议分辨率：1440*900以上"));
    place(Label7, 120, 540, 2535, 255);
    Label6 = label(Frame2, "Label6",
                   QStringLiteral("本浏览器是Lumora自动学习型浏览器，专为远程网络培训课程而设计，"
                                  "点击一次鼠标即可从头到尾观看全部课程视频。"
                                  "软件只是学习的辅助工具，请您仍然认真观看每一节课程。"));
    place(Label6, 120, 840, 2535, 2295);
    Label6->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Lists the user sees carry an accessible name; the hidden ones only hold data.
    const auto list = [this](QWidget* parent, const char* name, const QString& accessible = {}) {
        auto* widget = named(new QListWidget(parent), name, accessible);
        widget->setVisible(!accessible.isEmpty());
        return std::make_unique<ListBox>(widget, m_gate);
    };
    List7 = list(Frame2, "List7");

    Command2 = button(client, "Command2", QStringLiteral("连续学习"));
    place(Command2, 18480, 6720, 2775, 615);
    Command2->setEnabled(false);
    Command16 = button(client, "Command16", QStringLiteral("退出课件"));
    place(Command16, 18480, 7440, 2775, 615);

    Frame1 = frame(client, "Frame1", QStringLiteral("登录"));
    place(Frame1, 18480, 8160, 2775, 1935);
    Label10 = label(Frame1, "Label10", QStringLiteral("用户名"));
    place(Label10, 120, 300, 900, 255);
    Text3 = named(new QLineEdit(Frame1), "Text3", QStringLiteral("用户名"));
    place(Text3, 1080, 240, 1455, 375);
    Label9 = label(Frame1, "Label9", QStringLiteral("密  码"));
    place(Label9, 120, 780, 900, 255);
    Text2 = named(new QLineEdit(Frame1), "Text2", QStringLiteral("密  码"));
    Text2->setEchoMode(QLineEdit::Password);
    // One "*" per character, whatever the style's own mask.
    Text2->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    place(Text2, 1080, 720, 1455, 375);
    Label8 = label(Frame1, "Label8", QStringLiteral("验证码"));
    place(Label8, 120, 1260, 900, 255);
    Label8->hide();
    Text1 = named(new QLineEdit(QStringLiteral("ok"), Frame1), "Text1");
    place(Text1, 1080, 1200, 1455, 405);
    Text1->hide();
    Command3 = button(Frame1, "Command3", QStringLiteral("登录"));
    place(Command3, 1080, 1260, 1455, 495);

    Frame3 = frame(client, "Frame3", QStringLiteral("学习进度"));
    place(Frame3, 18480, 10200, 2775, 2415);
    List3 = list(Frame3, "List3", QStringLiteral("课程类别"));
    place(List3->widget(), 120, 240, 1215, 2055);
    List3->widget()->setEnabled(false);
    List2 = list(Frame3, "List2", QStringLiteral("课程列表"));
    place(List2->widget(), 1395, 240, 735, 2055);
    List1 = list(Frame3, "List1", QStringLiteral("类别链接"));
    place(List1->widget(), 2190, 240, 465, 2055);
    List4 = list(client, "List4");
    List5 = list(client, "List5");

    Timer1 = m_platform.createTimer();
    Timer1->setInterval(kStudyTickMs);
    Timer1->setEnabled(false);

    m_studyStatus = new study::StudyStatus(statusBar());
    statusBar()->addPermanentWidget(m_studyStatus, 1);
}

void Form1::connectEvents()
{
    auto through = [this](void (Form1::*handler)()) {
        return [this, handler] { m_gate.dispatch([this, handler] { (this->*handler)(); }); };
    };
    connect(Command2, &QPushButton::clicked, this, through(&Form1::Command2_Click));
    connect(Command3, &QPushButton::clicked, this, through(&Form1::Command3_Click));
    connect(Command16, &QPushButton::clicked, this, through(&Form1::Command16_Click));
    connect(clearhc, &QAction::triggered, this, through(&Form1::clearhc_Click));
    // Only shows a window: nothing for the gate to hold back.
    connect(studyRecord, &QAction::triggered, this, &Form1::openStudyRecord);

    connect(List3.get(), &ListBox::clicked, this, &Form1::List3_Click);
    connect(List1.get(), &ListBox::clicked, this, &Form1::List1_Click);
    connect(List2.get(), &ListBox::clicked, this, &Form1::List2_Click);

    // A tick held at the gate while another handler ran is dropped if the timer was stopped
    // meanwhile (exit courseware during a walk): a stopped study clock never ticks.
    connect(Timer1.get(), &platform::Timer::tick, this, [this] {
        m_gate.dispatch(
            [this] {
                if (Timer1->isEnabled())
                    Timer1_Timer();
            },
            EventGate::Kind::TimerTick);
    });

    connect(WebBrowser1.get(), &platform::BrowserControl::documentComplete, this,
            through(&Form1::WebBrowser1_DocumentComplete));
    connect(WebBrowser1.get(), &platform::BrowserControl::windowClosing, this,
            through(&Form1::WebBrowser1_WindowClosing));
    // The engine needs its answer at once, so NewWindow2 does not wait at the gate.
    WebBrowser1->setNewWindowHandler([this] { return WebBrowser1_NewWindow2(); });
}

void Form1::load()
{
    m_gate.dispatch([this] { Form_Load(); });
}

void Form1::openStudyRecord()
{
    if (!m_recordWindow) {
        m_recordWindow = new study::RecordWindow(
            study::StudyLog::pathIn(m_config.dataFolder),
            [this] { return study::summarizeStudy(requiredMinutesTable, studiedMinutesRecord); },
            this);
        connect(this, &Form1::runEvent, m_recordWindow, &study::RecordWindow::followRun);
        connect(this, &Form1::progressChanged, m_recordWindow, &study::RecordWindow::followRun);
    }
    m_recordWindow->show();
    m_recordWindow->raise();
    m_recordWindow->activateWindow();
}

void Form1::showPlayer(bool visible)
{
    WebBrowser2->widget()->setVisible(visible);
    if (visible)
        WebBrowser2->widget()->raise();
}

void Form1::reportSaveResult(bool saved)
{
    if (!saved && !m_lastSaveFailed)
        report(study::RunEventKind::SaveFailed, -1, 0, m_stateFile.savePath());
    m_lastSaveFailed = !saved;
    m_studyStatus->setSaveFailed(!saved);
    if (!saved && !m_saveFailureShown) {
        // Once per run, without a modal box: the save is retried on every tick.
        m_saveFailureShown = true;
        statusBar()->showMessage(QStringLiteral("无法保存学习记录：%1")
                                     .arg(QDir::toNativeSeparators(m_stateFile.savePath())));
    }
}

void Form1::unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    Timer1->setEnabled(false);
    close();
    emit unloadedSignal();
}

void Form1::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    m_gate.dispatch([this] { Form_Resize(); });
}

void Form1::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !m_activatedOnce) {
        m_activatedOnce = true;
        m_gate.dispatch([this] { Form_Activate(); });
    }
}

// Layout: resize skips a failing step, activation stops at it. Neither shows a message.
void Form1::Form_Resize()
{
    WindowLayoutTarget target(*this);
    runLayout(target, LayoutPolicy::StepOver);
}

void Form1::Form_Activate()
{
    WindowLayoutTarget target(*this);
    runLayout(target, LayoutPolicy::Guarded);
}

} // namespace lumora::shell
