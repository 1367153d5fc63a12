#include "window/record_window.h"

#include "platform/logging.h"
#include "records/study_log.h"

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

namespace lumora::window {

namespace {

// More than a full record and its rotation margin is not ours: show only its end.
constexpr qint64 kMaxShownBytes = 2 * records::StudyLog::kRotateBytes;

} // namespace

RecordWindow::RecordWindow(QString logPath, SummarySource summary, QWidget* parent)
    : QWidget(parent, Qt::Window), m_logPath(std::move(logPath)),
      m_summarySource(std::move(summary)),
      m_summary(new QTableWidget(records::kCategoryCount, 3, this)),
      m_record(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("RecordWindow"));
    setWindowTitle(QStringLiteral("学习记录"));
    // A record left open must not keep the program running once the main window is closed.
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(760, 560);

    m_summary->setObjectName(QStringLiteral("RecordSummary"));
    m_summary->setAccessibleName(QStringLiteral("学习汇总"));
    m_summary->setHorizontalHeaderLabels(
        {QStringLiteral("类别"), QStringLiteral("已完成课程"), QStringLiteral("已学时间")});
    m_summary->verticalHeader()->hide();
    m_summary->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_summary->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_summary->setSelectionMode(QAbstractItemView::NoSelection);
    m_summary->setFocusPolicy(Qt::NoFocus);
    m_summary->setFixedHeight(m_summary->horizontalHeader()->sizeHint().height() +
                              records::kCategoryCount *
                                  m_summary->verticalHeader()->defaultSectionSize() +
                              2 * m_summary->frameWidth());

    m_record->setObjectName(QStringLiteral("RecordText"));
    m_record->setAccessibleName(QStringLiteral("学习记录"));
    m_record->setReadOnly(true);
    m_record->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_record->setPlaceholderText(QStringLiteral("还没有学习记录。"));

    auto* path =
        new QLabel(QStringLiteral("记录文件：%1").arg(QDir::toNativeSeparators(m_logPath)), this);
    path->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* column = new QVBoxLayout(this);
    column->addWidget(m_summary);
    column->addWidget(m_record, 1);
    column->addWidget(path);
}

void RecordWindow::reload()
{
    showSummary();
    m_record->clear();
    m_readBytes = 0;
    readNewLines();
    m_record->verticalScrollBar()->setValue(m_record->verticalScrollBar()->maximum());
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
            showSummary();
            showNewLines();
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
    const records::StudySummary summary = m_summarySource();
    for (int row = 0; row < records::kCategoryCount; ++row) {
        const records::CategorySummary& figures = summary.at(row);
        const QStringList cells = {
            figures.name,
            QStringLiteral("%1 / %2 课").arg(figures.lessonsDone).arg(figures.lessonCount),
            QStringLiteral("%1 / %2 分钟")
                .arg(figures.minutesStudied)
                .arg(figures.minutesRequired)};
        for (int column = 0; column < cells.size(); ++column)
            m_summary->setItem(row, column, new QTableWidgetItem(cells.at(column)));
    }
}

void RecordWindow::showNewLines()
{
    QScrollBar* bar = m_record->verticalScrollBar();
    const bool atBottom = bar->value() == bar->maximum();
    readNewLines();
    if (atBottom)
        bar->setValue(bar->maximum());
}

void RecordWindow::readNewLines()
{
    QFile file(m_logPath);
    if (!file.open(QIODevice::ReadOnly)) {
        if (file.exists())
            qCWarning(lcState) << "cannot read the run record" << m_logPath << file.errorString();
        return;
    }
    const qint64 size = file.size();
    if (size < m_readBytes) {
        // Rotated since the last look: the file is a new one.
        m_record->clear();
        m_readBytes = 0;
    }
    qint64 from = m_readBytes;
    const bool cutStart = from == 0 && size > kMaxShownBytes;
    if (cutStart)
        from = size - kMaxShownBytes;
    if (!file.seek(from))
        return;
    QByteArray bytes = file.read(size - from);
    qsizetype start = 0;
    if (cutStart)
        start = bytes.indexOf('\n') + 1; // begin at a whole line
    // Only whole lines; a line still being written shows next time.
    const qsizetype end = bytes.lastIndexOf('\n');
    if (end < start)
        return;
    m_readBytes = from + end + 1;
    m_record->appendPlainText(QString::fromUtf8(bytes.mid(start, end - start)));
}

} // namespace lumora::window
