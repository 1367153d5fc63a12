#pragma once

// Logging categories, one per area. Whatever the user is spared from seeing is logged here:
// enable with QT_LOGGING_RULES, e.g. "lumora.*.debug=true".
//   lumora.page    walks that failed, pages that were not there, logins by the program
//   lumora.study   credits, lessons skipped or reopened, session recoveries, run start and end,
//                  keeping the system awake
//   lumora.engine  renderer crashes and kills, profile switches, load failures
//   lumora.state   the state file: reads, failed saves, where progress is kept; the run record's
//                  move; a log file that cannot be written

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcPage)
Q_DECLARE_LOGGING_CATEGORY(lcStudy)
Q_DECLARE_LOGGING_CATEGORY(lcEngine)
Q_DECLARE_LOGGING_CATEGORY(lcState)
