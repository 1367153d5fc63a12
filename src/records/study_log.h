#pragma once

// The run record: one line of plain text (UTF-8) per run event, with the local date and time,
// appended to study-log.txt in the data folder (a platform::RotatingFile: study-log.1.txt holds
// the lines before). The learner reads it in the "学习记录" window or with any text editor.

#include "platform/rotating_file.h"
#include "records/run_event.h"

#include <QString>

namespace lumora::records {

// The line for one event, without date, time or line end: category and lesson as the learner
// reads them (category name, lesson counted from 1). Control characters in the event's detail
// become spaces, so an event is always exactly one line.
QString describeRunEvent(const RunEvent& event);

class StudyLog final
{
public:
    // The file rotates before it would grow past this; one older file is kept.
    static constexpr qint64 kRotateBytes = platform::RotatingFile::kRotateBytes;

    // An empty `dataFolder` means there is nowhere to write: every line is dropped (logged once).
    explicit StudyLog(const QString& dataFolder);
    Q_DISABLE_COPY_MOVE(StudyLog)

    static QString pathIn(const QString& dataFolder);
    static QString previousPathIn(const QString& dataFolder);
    QString path() const { return m_file.path(); }
    QString previousPath() const { return m_file.previousPath(); }

    // Appends the event's line stamped with the local date and time. Never fails for the caller:
    // a file that cannot be written or rotated is logged on lcState once, until it works again.
    void record(const RunEvent& event);

private:
    platform::RotatingFile m_file;
};

} // namespace lumora::records
