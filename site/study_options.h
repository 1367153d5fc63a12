#pragma once

#include "site_options.h"

#include <QCommandLineParser>
#include <QString>
#include <functional>
#include <span>

// The lumora-site options of the site's own study record and of its lessons' shapes.
namespace lumora::site::cli {

// A number option: its name, the range it takes, whether it is whole, and where it goes.
struct NumberOption
{
    const char* name;
    double low;
    double high;
    bool whole;
    std::function<void(double)> store;
};
// Stores those of `numbers` given. Returns a message for a bad value, else an empty string.
QString readNumbers(const QCommandLineParser& parser, std::span<const NumberOption> numbers);

// Adds them to `parser`.
void addStudyOptions(QCommandLineParser& parser);
// Reads those given into `options`. Returns a message for a bad value, else an empty string.
QString readStudyOptions(const QCommandLineParser& parser, SiteOptions& options);

} // namespace lumora::site::cli
