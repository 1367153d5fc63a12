#pragma once

// The "学习记录" window: a per-category summary of the studied minutes above the run record
// (study-log.txt), read-only, newest line at the bottom.

#include "records/minute_records.h"

#include <QString>
#include <QWidget>
#include <functional>

class QPlainTextEdit;
class QTableWidget;

namespace lumora::window {

class RecordWindow final : public QWidget
{
    Q_OBJECT
public:
    using SummarySource = std::function<records::StudySummary()>;

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

} // namespace lumora::window
