#pragma once

// Reading the run record back: each line as the event it was written from, for the summary of
// the last run and the history of runs. A line is recognised by the texts describeRunEvent
// writes now, in the program's language; a line it does not recognise (a line written by an
// earlier version in other words, a line cut short) is passed over.

#include "records/run_event.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

namespace lumora::records {

struct RecordedEvent
{
    QDateTime at; // local time, to the second
    RunEvent event;
};

// One line of the run record, with or without its line end.
std::optional<RecordedEvent> readRecordLine(QStringView line);

// The events of a whole record's text, in the order written.
QList<RecordedEvent> readRecordText(const QString& text);

} // namespace lumora::records
