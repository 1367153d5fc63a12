#include "platform/restart_registration.h"

#include "platform/logging.h"

#include <QCoreApplication>
#include <optional>

#ifdef Q_OS_WIN
#include "platform/win32/win32_system.h"

#include <string>
#include <vector>
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
        std::vector<std::wstring> line;
        for (const QString& argument : arguments)
            line.push_back(argument.toStdWString());
        if (const std::optional<std::string> refused = win32::registerRestart(line))
            qCWarning(lcStudy).noquote()
                << "not restarted after an update:" << QString::fromStdString(*refused);
    }
    void release() override { win32::unregisterRestart(); }
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

} // namespace lumora::platform
