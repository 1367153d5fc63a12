#include "window/record_window.h"

#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/logging.h"
#include "platform/rotating_file.h"
#include "records/morning_report.h"
#include "records/study_log.h"
#include "window/morning_view.h"

#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTabWidget>
#include <QVBoxLayout>

namespace lumora::window {

namespace {

// More than a full record and its rotation margin is not ours: show only its end.
constexpr qint64 kMaxShownBytes = 2 * records::StudyLog::kRotateBytes;

} // namespace

RecordWindow::RecordWindow(RecordSources sources, QWidget* parent)
    : QWidget(parent, Qt::Window), m_sources(std::move(sources)), m_pages(new QTabWidget(this)),
      m_morning(new MorningView), m_record(new QPlainTextEdit)
{
    setObjectName(QStringLiteral("RecordWindow"));
    setWindowTitle(tr("学习记录"));
    // A record left open must not keep the program running once the main window is closed.
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(900, 760);

    auto* morningArea = new QScrollArea;
    morningArea->setObjectName(QStringLiteral("MorningArea"));
    morningArea->setWidget(m_morning);
    morningArea->setWidgetResizable(true);
    morningArea->setFrameShape(QFrame::NoFrame);
    m_pages->addTab(morningArea, tr("概况"));

    m_record->setObjectName(QStringLiteral("RecordText"));
    m_record->setAccessibleName(tr("学习记录"));
    m_record->setReadOnly(true);
    m_record->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_record->setPlaceholderText(tr("还没有学习记录。"));
    m_pages->addTab(m_record, tr("全部记录"));

    auto* path =
        new QLabel(tr("记录文件：%1").arg(QDir::toNativeSeparators(m_sources.logPath)), this);
    path->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* exportButton = new QPushButton(tr("导出…"), this);
    exportButton->setObjectName(QStringLiteral("ExportButton"));
    connect(exportButton, &QPushButton::clicked, this, &RecordWindow::exportRecord);

    auto* foot = new QHBoxLayout;
    foot->addWidget(path, 1);
    foot->addWidget(exportButton);
    auto* column = new QVBoxLayout(this);
    column->addWidget(m_pages, 1);
    column->addLayout(foot);
}

void RecordWindow::reload()
{
    m_history.clear();
    m_previousText = QString::fromUtf8(
        platform::readWholeFile(platform::RotatingFile::previousPathOf(m_sources.logPath))
            .value_or(QByteArray()));
    m_history.addText(m_previousText);
    m_record->clear();
    m_readBytes = 0;
    readNewLines();
    m_record->verticalScrollBar()->setValue(m_record->verticalScrollBar()->maximum());
    showSummary();
}

void RecordWindow::followRun()
{
    if (!isVisible() || m_followPending)
        return;
    m_followPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_followPending = false;
            showNewLines();
            showSummary();
        },
        Qt::QueuedConnection);
}

QString RecordWindow::recordText() const
{
    return m_record->toPlainText();
}

void RecordWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    reload();
}

void RecordWindow::showSummary()
{
    m_morning->showRuns(m_history.runs(),
                        records::timetableBars(*m_sources.minutes, m_sources.figures),
                        records::MorningReport::siteLine(
                            records::siteSummary(*m_sources.minutes, m_sources.figures)));
}

void RecordWindow::showNewLines()
{
    QScrollBar* bar = m_record->verticalScrollBar();
    const bool atBottom = bar->value() == bar->maximum();
    if (!readNewLines())
        return reload();
    if (atBottom)
        bar->setValue(bar->maximum());
}

bool RecordWindow::readNewLines()
{
    QFile file(m_sources.logPath);
    if (!file.open(QIODevice::ReadOnly)) {
        if (file.exists())
            qCWarning(lcState) << "cannot read the run record" << m_sources.logPath
                               << file.errorString();
        return true;
    }
    const qint64 size = file.size();
    if (size < m_readBytes)
        return false; // rotated since the last look: the file is a new one
    qint64 from = m_readBytes;
    const bool cutStart = from == 0 && size > kMaxShownBytes;
    if (cutStart)
        from = size - kMaxShownBytes;
    if (!file.seek(from))
        return true;
    QByteArray bytes = file.read(size - from);
    qsizetype start = 0;
    if (cutStart)
        start = bytes.indexOf('\n') + 1; // begin at a whole line
    // Only whole lines; a line still being written shows next time.
    const qsizetype end = bytes.lastIndexOf('\n');
    if (end < start)
        return true;
    m_readBytes = from + end + 1;
    const QString lines = QString::fromUtf8(bytes.mid(start, end - start));
    m_record->appendPlainText(lines);
    m_history.addText(lines);
    return true;
}

void RecordWindow::exportRecord()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QString title = tr("导出学习记录");
    const QString suggested =
        QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
            .filePath(tr("学习记录-%1.txt").arg(now.toString(QStringLiteral("yyyyMMdd-HHmm"))));
    const std::optional<QString> path =
        m_sources.dialogs->askSavePath(title, suggested, tr("文本文件 (*.txt)"));
    if (!path)
        return;
    const QString record = m_previousText + m_record->toPlainText();
    const QString text = records::MorningReport::exportText(
        m_history.runs(), records::timetableBars(*m_sources.minutes, m_sources.figures),
        records::siteSummary(*m_sources.minutes, m_sources.figures), record, now);
    // With a byte order mark, so that older editors on Windows read it as UTF-8.
    const platform::WriteResult written =
        m_sources.files->write(*path, "\xEF\xBB\xBF" + text.toUtf8());
    if (written.written()) {
        qCInfo(lcState) << "run record exported to" << *path;
        return;
    }
    qCWarning(lcState) << "cannot export the run record to" << *path << written.reason;
    const QString why = written.status == platform::WriteStatus::Refused
                            ? tr("这个位置不允许保存文件，请换一个位置")
                            : tr("无法写入（磁盘可能已满，或文件正被其他程序使用）");
    m_sources.dialogs->message(tr("未能导出：%1").arg(why), title, platform::MessageIcon::None);
}

} // namespace lumora::window
