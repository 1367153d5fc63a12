#pragma once

// How the site's study record is found and read, as the learner's settings in lumora.ini say
// (beside the site's address): the texts of the link to it, or its address, and how long one
// "学时" is on this site. What is not set there has its default; nothing is written back.

#include "platform/dialogs.h"
#include "study/record_watch.h"

#include <QString>
#include <optional>

namespace lumora::app {

// Read from `dataFolder`'s lumora.ini; with no folder, the defaults.
study::RecordWatch::Settings readRecordSettings(const QString& dataFolder);

// "学习记录页地址…": asks the learner for the address of the site's record page (empty: looked
// for on the course page), keeps it, and answers what it now is; nothing when the learner
// cancelled or the settings could not be written (told).
std::optional<QUrl> changeRecordAddress(platform::Dialogs& dialogs, const QString& dataFolder);

} // namespace lumora::app
