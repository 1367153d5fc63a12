#pragma once

#include <QString>
#include <QtGlobal>
#include <memory>

namespace lumora::platform {

// The lumora.* log, kept in a file as well: a Windows program's log otherwise goes to a debugger
// only, and engineers need it from a learner's machine. While an object lives, every message of a
// lumora.* category that the category lets through (QT_LOGGING_RULES still decides) is appended to
// lumora.log in `folder` (a RotatingFile: lumora.1.log holds the lines before): one line each with
// date, time, level and category. Every message, written or not, also goes to the message handler
// installed before. A file that cannot be written is passed over (told once, to that handler). One
// object at a time.
class RotatingFile;

class LogFile
{
public:
    explicit LogFile(const QString& folder);
    // The handler installed before takes over again.
    ~LogFile();
    Q_DISABLE_COPY_MOVE(LogFile)

    static QString pathIn(const QString& folder);

private:
    std::unique_ptr<RotatingFile> m_file;
    QtMessageHandler m_previous = nullptr;
};

} // namespace lumora::platform
