#pragma once

// Where this machine keeps the user's files for the program.

#include <QString>
#include <QStringList>

namespace lumora::platform {

// The places of the state file when the command line names none.
struct StateFilePlaces
{
    QString preferred;       // saves go here first
    QString fallback;        // and here once `preferred` refuses this user; empty: nowhere else
    QStringList olderCopies; // read at start-up as well, when newer than the others
};

// Windows: c:\boot.txt, where the state has always been kept; boot.txt in the user's local
// application data folder, for the standard user who may not create or replace files in c:\;
// and %LOCALAPPDATA%\VirtualStore\boot.txt, where Windows' file virtualisation put state files
// written by earlier versions to c:\ (user name, password and studied minutes), read so that a
// learner keeps their minutes.
// Elsewhere: boot.txt in the application data folder alone.
StateFilePlaces defaultStateFilePlaces();

} // namespace lumora::platform
