#include "platform/restart_registration.h"

#include "platform/logging.h"

#include <QCoreApplication>
#include <optional>

#ifdef Q_OS_WIN
#include <QtCore/qt_windows.h>
#else
#include <QGuiApplication>
#include <QSessionManager>
#endif

namespace lumora::platform {

namespace {

#ifdef Q_OS_WIN

// Restarted after an update's restart of the machine; after a crash or a hang the learner is
// offered the restart. Windows restarts only a program that ran at least 60 seconds.
class WindowsRestart final : public RestartRegistration
{
public:
    void hold(const QStringList& arguments) override
    {
        const std::wstring line = windowsCommandLine(arguments).toStdWString();
        const HRESULT result = RegisterApplicationRestart(line.c_str(), 0);
        if (FAILED(result))
            qCWarning(lcStudy).nospace() << "cannot register for a restart (error 0x" << Qt::hex
                                         << static_cast<unsigned long>(result) << ")";
    }
    void release() override { UnregisterApplicationRestart(); }
};
using SystemRestart = WindowsRestart;

#else

// The session manager asks each program how to start it again when the session is saved (at
// logout); the answer stands for the next login. A program not registered is not restarted.
class SessionRestart final : public RestartRegistration
{
public:
    SessionRestart()
    {
#if QT_CONFIG(sessionmanager)
        if (qGuiApp)
            QObject::connect(qGuiApp, &QGuiApplication::saveStateRequest, qGuiApp,
                             [this](QSessionManager& manager) { answer(manager); });
#endif
    }
    void hold(const QStringList& arguments) override
    {
        m_arguments = arguments;
    }
    void release() override
    {
        m_arguments.reset();
    }

private:
#if QT_CONFIG(sessionmanager)
    void answer(QSessionManager& manager) const
    {
        if (!m_arguments) {
            manager.setRestartHint(QSessionManager::RestartNever);
            return;
        }
        manager.setRestartHint(QSessionManager::RestartIfRunning);
        manager.setRestartCommand(QStringList{QCoreApplication::applicationFilePath()} +
                                  *m_arguments);
    }
#endif
    std::optional<QStringList> m_arguments;
};
using SystemRestart = SessionRestart;

#endif

} // namespace

RestartRegistration& systemRestartRegistration()
{
    static SystemRestart registration;
    return registration;
}

QString windowsCommandLine(const QStringList& arguments)
{
    QStringList quoted;
    for (const QString& argument : arguments) {
        if (!argument.isEmpty() && !argument.contains(QLatin1Char(' ')) &&
            !argument.contains(QLatin1Char('\t')) && !argument.contains(QLatin1Char('"'))) {
            quoted.append(argument);
            continue;
        }
        // Backslashes count only before a quote: doubled there, and one more escapes the quote.
        QString text = QStringLiteral("\"");
        qsizetype backslashes = 0;
        for (const QChar c : argument) {
            if (c == QLatin1Char('\\')) {
                ++backslashes;
                continue;
            }
            const qsizetype escapes = c == QLatin1Char('"') ? 2 * backslashes + 1 : backslashes;
            text += QString(escapes, QLatin1Char('\\')) + c;
            backslashes = 0;
        }
        text += QString(2 * backslashes, QLatin1Char('\\')) + QLatin1Char('"');
        quoted.append(text);
    }
    return quoted.join(QLatin1Char(' '));
}

} // namespace lumora::platform
