#pragma once

#include <QString>
#include <QtGlobal>
#include <memory>

namespace lumora::platform {

// The lumora.* log, kept in a file as well: a Windows program's log otherwise goes to a debugger
// only, and engineers need it from a learner's machine. While an object lives, every message of a
// lumora.* category that the category lets through (QT_LOGGING_RULES still decides) is appended to
// lumora.log in `folder`: one line each with date, time, level and category, UTF-8. A file that
// would grow past `rotateBytes` becomes lumora.1.log first, replacing the older one in one step.
// Every message, written or not, also goes to the message handler installed before. A file that
// cannot be written is passed over (told once, to that handler). One object at a time.
class LogFile
{
public:
    static constexpr qint64 kRotateBytes = 1024 * 1024;

    explicit LogFile(const QString& folder, qint64 rotateBytes = kRotateBytes);
    // The handler installed before takes over again.
    ~LogFile();
    Q_DISABLE_COPY_MOVE(LogFile)

    static QString pathIn(const QString& folder);
    static QString previousPathIn(const QString& folder);

    struct Sink;

private:
    std::unique_ptr<Sink> m_sink;
    QtMessageHandler m_previous = nullptr;
};

} // namespace lumora::platform
