#include "platform/log_file.h"

#include "platform/logging.h"
#include "platform/rotating_file.h"

#include <QDateTime>
#include <QDir>
#include <QMutex>
#include <atomic>

namespace lumora::platform {

namespace {

// Qt logs from any thread: one line at a time goes to the file.
QBasicMutex g_mutex;
RotatingFile* g_file = nullptr; // guarded by g_mutex
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
        if (g_file && g_file->append(line).write)
            notice = QStringLiteral("cannot write the log file %1")
                         .arg(QDir::toNativeSeparators(g_file->path()));
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

LogFile::LogFile(const QString& folder) : m_file(std::make_unique<RotatingFile>(pathIn(folder)))
{
    {
        const QMutexLocker lock(&g_mutex);
        Q_ASSERT(!g_file);
        g_file = m_file.get();
    }
    m_previous = qInstallMessageHandler(handleMessage);
    g_previous.store(m_previous);
}

LogFile::~LogFile()
{
    qInstallMessageHandler(m_previous);
    const QMutexLocker lock(&g_mutex);
    g_file = nullptr;
}

QString LogFile::pathIn(const QString& folder)
{
    // No folder: nowhere to write, rather than the working directory.
    return folder.isEmpty() ? QString() : QDir(folder).filePath(QStringLiteral("lumora.log"));
}

} // namespace lumora::platform
