#pragma once

// The state file: six lines, each ending in CR LF, in the system's 8-bit code page:
// user name, password, then the studied-minutes records of categories 0 to 3.

#include <QString>
#include <array>
#include <optional>

namespace lumora::shell {

inline constexpr int kStateFileLines = 6;

struct SavedState
{
    QString userName;
    QString password;
    std::array<QString, 4> studiedRecords;
};

struct LoadedState
{
    SavedState values;
    // How many of the six lines the file had; the values past them are left empty.
    int linesRead = 0;
    bool complete() const { return linesRead >= kStateFileLines; }
};

// Reads each line whole, so that a comma in a password cannot shift the records. A line that
// starts with a double quote gives the text up to the closing quote, without the quotes.
// Nothing when the file is missing or unreadable.
std::optional<LoadedState> readStateFile(const QString& path);

QByteArray formatStateFile(const SavedState& state);
LoadedState parseStateFile(const QByteArray& bytes);

// Rewrites the whole file atomically; false when it could not be written (the old file stays).
bool writeStateFile(const QString& path, const SavedState& state);

// `c:\boot.txt` on Windows; elsewhere boot.txt in the application data folder.
QString defaultStateFilePath();

} // namespace lumora::shell
