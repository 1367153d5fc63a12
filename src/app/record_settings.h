#pragma once

// How the site's study record is found and read, as the learner's settings in lumora.ini say
// (beside the site's address): the texts of the link to it, or its address, and how long one
// "学时" is on this site. What is not set there has its default; nothing is written back.

#include "study/record_watch.h"

#include <QString>

namespace lumora::app {

// Read from `dataFolder`'s lumora.ini; with no folder, the defaults.
study::RecordWatch::Settings readRecordSettings(const QString& dataFolder);

} // namespace lumora::app
