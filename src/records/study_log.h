#pragma once

// The run record: one line of plain text (UTF-8) per run event, with the local date and time,
// appended to study-log.txt in the data folder. The learner reads it in the "学习记录" window or
// with any text editor.

#include "records/run_event.h"

#include <QByteArray>
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
    static constexpr qint64 kRotateBytes = 1024 * 1024;

    // An empty `dataFolder` means there is nowhere to write: every line is dropped (logged once).
    explicit StudyLog(QString dataFolder);
    Q_DISABLE_COPY_MOVE(StudyLog)

    static QString pathIn(const QString& dataFolder);
    static QString previousPathIn(const QString& dataFolder);
    QString path() const { return pathIn(m_folder); }
    QString previousPath() const { return previousPathIn(m_folder); }

    // Appends the event's line stamped with the local date and time. Never fails for the caller:
    // a file that cannot be written is logged on lcState once, until a later line is written.
    void record(const RunEvent& event);

private:
    bool append(const QByteArray& line);
    // Moves a file that `incoming` bytes would take past the limit aside; true when it did.
    bool rotateIfFull(qint64 incoming);
    bool endsWithLineBreak() const;

    QString m_folder;
    bool m_tailChecked = false; // whether the file's last line is known to be whole
    bool m_writeFailureLogged = false;
    bool m_rotateFailureLogged = false;
};

} // namespace lumora::records
