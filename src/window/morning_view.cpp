#include "window/morning_view.h"

#include "records/morning_report.h"
#include "window/timetable_picture.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace lumora::window {

namespace {

QTableWidget* readOnlyTable(QWidget* parent, const char* name, const QStringList& headers)
{
    auto* table = new QTableWidget(0, static_cast<int>(headers.size()), parent);
    table->setObjectName(QString::fromLatin1(name));
    table->setHorizontalHeaderLabels(headers);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setFocusPolicy(Qt::NoFocus);
    return table;
}

void fill(QTableWidget* table, const QList<QStringList>& rows)
{
    table->setRowCount(static_cast<int>(rows.size()));
    for (int row = 0; row < rows.size(); ++row) {
        for (int column = 0; column < rows.at(row).size(); ++column)
            table->setItem(row, column, new QTableWidgetItem(rows.at(row).at(column)));
    }
}

QLabel* caption(QWidget* parent, const QString& text)
{
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

} // namespace

MorningView::MorningView(QWidget* parent)
    : QWidget(parent), m_headline(caption(this, {})),
      m_categories(readOnlyTable(this, "RecordSummary", records::MorningReport::categoryHeaders())),
      m_details(new QLabel(this)), m_site(new QLabel(this)), m_picture(new TimetablePicture(this)),
      m_history(readOnlyTable(this, "RunHistory", records::MorningReport::historyHeaders()))
{
    setObjectName(QStringLiteral("MorningView"));
    m_headline->setObjectName(QStringLiteral("LastRun"));
    m_headline->setWordWrap(true);
    m_categories->setAccessibleName(tr("上次学习各类别的分钟"));
    m_categories->setRowCount(records::kCategoryCount);
    m_categories->setFixedHeight(m_categories->horizontalHeader()->sizeHint().height() +
                                 records::kCategoryCount *
                                     m_categories->verticalHeader()->defaultSectionSize() +
                                 2 * m_categories->frameWidth());
    m_details->setObjectName(QStringLiteral("LastRunDetails"));
    m_details->setWordWrap(true);
    // Every line in view: the page scrolls rather than squeezing them.
    m_details->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    m_details->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_site->setObjectName(QStringLiteral("SiteRecord"));
    m_site->setWordWrap(true);
    m_site->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    m_history->setAccessibleName(tr("以往的学习"));
    m_history->setMinimumHeight(m_history->verticalHeader()->defaultSectionSize() * 6);

    auto* column = new QVBoxLayout(this);
    column->addWidget(m_headline);
    column->addWidget(m_categories);
    column->addWidget(m_details);
    column->addSpacing(6);
    column->addWidget(caption(this, tr("学习进度（每课一条：已学的分钟对需学的分钟）")));
    column->addWidget(m_site);
    column->addWidget(m_picture);
    column->addSpacing(6);
    column->addWidget(
        caption(this, tr("以往的学习（最近 %1 次，最新的在前）").arg(records::RunHistory::kKept)));
    column->addWidget(m_history, 1);
}

void MorningView::showRuns(const QList<records::RunSummary>& runs,
                           const std::array<records::CategoryBars, records::kCategoryCount>& bars,
                           const QString& siteLine)
{
    m_site->setText(siteLine);
    using records::MorningReport;
    if (runs.isEmpty()) {
        m_headline->setText(tr("还没有连续学习的记录。"));
        m_details->clear();
    } else {
        const records::RunSummary& last = runs.constFirst();
        m_headline->setText(
            tr("上次学习：%1，%2").arg(MorningReport::period(last), MorningReport::ending(last)));
        m_details->setText(MorningReport::details(last).join(QLatin1Char('\n')));
    }
    QList<QStringList> categories;
    for (int category = 0; category < records::kCategoryCount; ++category)
        categories << MorningReport::categoryCells(
            bars.at(category), runs.isEmpty() ? 0 : runs.constFirst().minutes.at(category));
    fill(m_categories, categories);
    m_picture->setBars(bars);
    QList<QStringList> history;
    for (const records::RunSummary& run : runs)
        history << MorningReport::historyCells(run);
    fill(m_history, history);
}

QString MorningView::headline() const
{
    return m_headline->text();
}

QString MorningView::siteLine() const
{
    return m_site->text();
}

} // namespace lumora::window
