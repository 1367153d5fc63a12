#include "platform/console.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <cstdio>

#ifdef Q_OS_WIN
#include <QtCore/qt_windows.h>
#endif

namespace lumora::platform {

namespace {

bool hasConsole()
{
#ifdef Q_OS_WIN
    // The test QCommandLineParser makes for its own messages, so both kinds are shown alike.
    if (GetConsoleWindow())
        return true;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    GetStartupInfoW(&startup);
    return (startup.dwFlags & STARTF_USESTDHANDLES) != 0;
#else
    return true;
#endif
}

} // namespace

void showStartupError(const QString& text)
{
    if (hasConsole()) {
        std::fprintf(stderr, "lumora: %s\n", qPrintable(text));
        return;
    }
    QMessageBox::critical(nullptr, QCoreApplication::applicationName(), text);
}

void showStartupAnswer(const QString& text, bool good)
{
    if (hasConsole()) {
        std::printf("lumora: %s\n", qPrintable(text));
        std::fflush(stdout);
    } else if (good) {
        QMessageBox::information(nullptr, QCoreApplication::applicationName(), text);
    } else {
        QMessageBox::warning(nullptr, QCoreApplication::applicationName(), text);
    }
}

} // namespace lumora::platform
