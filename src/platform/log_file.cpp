#include "platform/log_file.h"

#include "platform/files.h"
#include "platform/logging.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <atomic>

namespace lumora::platform {

struct LogFile::Sink
{
    QString folder, path, previousPath;
    qint64 rotateBytes = kRotateBytes;
    bool failureTold = false;

    bool write(const QByteArray& line);
    // Writes the line; the notice to pass on when the file first fails.
    QString append(const QByteArray& line);
};

namespace {

// Qt logs from any thread: one line at a time goes to the file.
QBasicMutex g_mutex;
LogFile::Sink* g_sink = nullptr; // guarded by g_mutex
std::atomic<QtMessageHandler> g_previous{nullptr};

const char* levelName(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return "debug";
    case QtInfoMsg:
        return "info";
    case QtWarningMsg:
        return "warning";
    case QtCriticalMsg:
        return "critical";
    case QtFatalMsg:
        return "fatal";
    }
    return "?";
}

QByteArray formatLine(QtMsgType type, const char* category, QString message)
{
    message.replace(QLatin1Char('\r'), QLatin1Char(' '))
        .replace(QLatin1Char('\n'), QLatin1Char(' '));
    return QDateTime::currentDateTime()
               .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))
               .toUtf8() +
           ' ' + levelName(type) + ' ' + category + ": " + message.toUtf8() + '\n';
}

// Qt calls this with its own guard up: whatever is logged inside goes to standard error only,
// so the notice of a failed write goes to the handler before directly.
void handleMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    QString notice;
    // Written before it is passed on: the handler before may end the program on a fatal message.
    if (context.category && qstrncmp(context.category, "lumora.", 7) == 0) {
        const QByteArray line = formatLine(type, context.category, message);
        const QMutexLocker lock(&g_mutex);
        if (g_sink)
            notice = g_sink->append(line);
    }
    const QtMessageHandler previous = g_previous.load();
    if (!previous)
        return;
    previous(type, context, message);
    if (!notice.isEmpty() && lcState().isWarningEnabled())
        previous(QtWarningMsg, QMessageLogContext(nullptr, 0, nullptr, lcState().categoryName()),
                 notice);
}

} // namespace

bool LogFile::Sink::write(const QByteArray& line)
{
    if (!QDir().mkpath(folder))
        return false;
    // The old lines are kept whole in lumora.1.log; when the replace fails, this file grows on.
    const QFileInfo current(path);
    if (current.size() > 0 && current.size() + line.size() > rotateBytes)
        replaceFile(path, previousPath);
    QFile file(path);
    // Unbuffered: the line goes to the file in one write, so a kill leaves no half line.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return false;
    // A byte-order mark, for Notepad before Windows 10 1903, which reads text without one in the
    // ANSI code page.
    const QByteArray bytes = file.size() == 0 ? "\xEF\xBB\xBF" + line : line;
    return file.write(bytes) == bytes.size();
}

QString LogFile::Sink::append(const QByteArray& line)
{
    if (write(line)) {
        failureTold = false;
        return {};
    }
    if (failureTold)
        return {};
    failureTold = true;
    return QStringLiteral("cannot write the log file %1").arg(QDir::toNativeSeparators(path));
}

LogFile::LogFile(const QString& folder, qint64 rotateBytes) : m_sink(std::make_unique<Sink>())
{
    m_sink->folder = folder;
    m_sink->path = pathIn(folder);
    m_sink->previousPath = previousPathIn(folder);
    m_sink->rotateBytes = rotateBytes;
    {
        const QMutexLocker lock(&g_mutex);
        Q_ASSERT(!g_sink);
        g_sink = m_sink.get();
    }
    m_previous = qInstallMessageHandler(handleMessage);
    g_previous.store(m_previous);
}

LogFile::~LogFile()
{
    qInstallMessageHandler(m_previous);
    const QMutexLocker lock(&g_mutex);
    g_sink = nullptr;
}

QString LogFile::pathIn(const QString& folder)
{
    return QDir(folder).filePath(QStringLiteral("lumora.log"));
}

QString LogFile::previousPathIn(const QString& folder)
{
    return QDir(folder).filePath(QStringLiteral("lumora.1.log"));
}

} // namespace lumora::platform
