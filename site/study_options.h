#pragma once

#include "site_options.h"

#include <QCommandLineParser>
#include <QString>

// The lumora-site options of the site's own study record and of its lessons' shapes.
namespace lumora::site::cli {

// Adds them to `parser`.
void addStudyOptions(QCommandLineParser& parser);
// Reads those given into `options`. Returns a message for a bad value, else an empty string.
QString readStudyOptions(const QCommandLineParser& parser, SiteOptions& options);

} // namespace lumora::site::cli
