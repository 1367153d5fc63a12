#pragma once

// The "学习记录" window: a per-category summary of the studied minutes above the run record
// (study-log.txt), read-only, newest line at the bottom.

#include "study/timetable.h"

#include <QString>
#include <QWidget>
#include <array>
#include <functional>

class QPlainTextEdit;
class QTableWidget;

namespace lumora::study {

struct CategorySummary
{
    QString name;
    int lessonsDone = 0; // lessons whose studied minutes exceed their required minutes
    int lessonCount = 0;
    long long minutesStudied = 0;
    long long minutesRequired = 0;
};

using StudySummary = std::array<CategorySummary, kCategoryCount>;

// The summary of the four categories from their required-minutes tables and studied records
// (as the window keeps them: `Form1::requiredMinutesTable`, `studiedMinutesRecord`).
StudySummary summarizeStudy(const std::array<QString, kCategoryCount>& tables,
                            const std::array<QString, kCategoryCount>& records);

class RecordWindow final : public QWidget
{
    Q_OBJECT
public:
    using SummarySource = std::function<StudySummary()>;

    // Shows the record at `logPath` (which may not exist yet) under the summary `summary` gives.
    RecordWindow(QString logPath, SummarySource summary, QWidget* parent = nullptr);

    // Reads the summary and the whole record again, scrolled to the newest line.
    void reload();
    // The record or the figures changed: while shown, the summary and the new lines are
    // brought in once control returns to the event loop (after every writer of the record
    // has had the event).
    void followRun();

    QString recordText() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showSummary();
    // Adds the lines written since the last look; stays at the bottom when it was there, so an
    // older line being read stays in view.
    void showNewLines();
    void readNewLines();

    QString m_logPath;
    SummarySource m_summarySource;
    QTableWidget* m_summary;
    QPlainTextEdit* m_record;
    qint64 m_readBytes = 0; // how much of the file is shown
    bool m_followPending = false;
};

} // namespace lumora::study
