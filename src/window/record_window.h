#pragma once

// The "学习记录" window. It opens on the morning view (the last run in figures, the timetable's
// picture, the history of runs); the second page is the run record itself (study-log.txt),
// read-only, newest line at the bottom. "导出…" saves the summary and the record as text.

#include "records/minute_records.h"
#include "records/run_summary.h"

#include <QString>
#include <QWidget>

class QPlainTextEdit;
class QTabWidget;

namespace lumora::platform {
class Dialogs;
class Files;
} // namespace lumora::platform

namespace lumora::window {

class MorningView;

// Where the window reads and writes: the record's path (which may not exist yet), the minutes
// kept in the state file, and the seams the export goes through.
struct RecordSources
{
    QString logPath;
    const records::MinuteRecords* minutes = nullptr;
    const records::SiteFigures* figures = nullptr; // the site's record as last read
    platform::Dialogs* dialogs = nullptr;
    platform::Files* files = nullptr;
};

class RecordWindow final : public QWidget
{
    Q_OBJECT
public:
    explicit RecordWindow(RecordSources sources, QWidget* parent = nullptr);

    // Reads the summary and the whole record again, scrolled to the newest line.
    void reload();
    // The record or the figures changed: while shown, the summary and the new lines are
    // brought in once control returns to the event loop (after every writer of the record
    // has had the event).
    void followRun();
    // "导出…": asks where, and saves the summary and the record there as UTF-8 text.
    void exportRecord();

    QString recordText() const;
    MorningView* morningView() const { return m_morning; }
    QTabWidget* pages() const { return m_pages; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showSummary();
    // Adds the lines written since the last look; stays at the bottom when it was there, so an
    // older line being read stays in view.
    void showNewLines();
    // False when the file was rotated since the last look: it has to be read again whole.
    bool readNewLines();

    RecordSources m_sources;
    QTabWidget* m_pages;
    MorningView* m_morning;
    QPlainTextEdit* m_record;
    records::RunHistory m_history;
    QString m_previousText; // the record's previous file, read with the whole record
    qint64 m_readBytes = 0; // how much of the file is shown
    bool m_followPending = false;
};

} // namespace lumora::window
