#pragma once

// The state file: six lines, each ending in CR LF, in the system's 8-bit code page:
// user name, password, then the studied-minutes records of categories 0 to 3.

#include "platform/files.h"

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace lumora::records {

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

// Rewrites the whole file atomically; when it cannot be written the old file stays.
platform::WriteResult writeStateFile(const QString& path, const SavedState& state);

// Where the state is read from and saved to. Saves go to the preferred file while it can be
// written; once it refuses this user they go to the fallback, for the rest of the run.
class StateFileStore
{
public:
    explicit StateFileStore(QString preferred, QString fallback = {}, QStringList olderCopies = {});

    // Reads whichever of the files exists and was written last (the preferred one on a tie);
    // nothing when none can be read.
    std::optional<LoadedState> load() const;

    struct SaveResult
    {
        bool saved = false;
        bool movedToFallback = false; // this save was the first to go to the fallback
    };
    SaveResult save(const SavedState& state);

    // Where saves go now.
    const QString& savePath() const { return m_savePath; }

private:
    QString m_savePath;
    QString m_fallback; // empty once moved, or when there is none
    QStringList m_readPlaces;
    bool m_lastSaveFailed = false;
};

} // namespace lumora::records
