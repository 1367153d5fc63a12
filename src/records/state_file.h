#pragma once

// The state file: six lines, each ending in CR LF, in the system's 8-bit code page:
// user name, password, then the studied-minutes records of categories 0 to 3. Where that code
// page cannot hold a character of them, the file is UTF-8 and starts with a byte-order mark.

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
// starts with a double quote gives the text up to the closing quote, without the quotes, two
// quotes in a row standing for one. Nothing when the file is missing or unreadable.
std::optional<LoadedState> readStateFile(const QString& path);

// A value that starts with a double quote is written quoted, so that it reads back the same.
QByteArray formatStateFile(const SavedState& state);
LoadedState parseStateFile(const QByteArray& bytes);

// Rewrites the whole file atomically; when it cannot be written the old file stays.
platform::WriteResult writeStateFile(const QString& path, const SavedState& state);

// Where the state is read from and saved to. Saves go to the preferred file while it can be
// written; once it refuses this user they go to the fallback, for the rest of the run. Another
// user's file is neither read nor written: with the preferred one another user's, saves go to
// the fallback from the start.
class StateFileStore
{
public:
    explicit StateFileStore(QString preferred, QString fallback = {}, QStringList olderCopies = {},
                            platform::Files& files = platform::systemFiles());

    struct LoadResult
    {
        enum class Status
        {
            Read,
            NoFile,
            // This user's newest file is there but cannot be read for now (another program
            // holds it): nothing may be saved until a later load reads it.
            Held,
        };
        Status status = Status::NoFile;
        LoadedState state;       // when read
        QString path;            // the file read or held
        QString reason;          // why it is held, for the log
        bool savesMoved = false; // saves go to the fallback: the preferred file is another user's
    };
    // Reads whichever of this user's files exists and was written last (the preferred one on a
    // tie). Ask again after Held; every other answer is final.
    LoadResult load();

    struct SaveResult
    {
        bool saved = false;
        bool movedToFallback = false; // this save was the first to go to the fallback
        platform::WriteStatus failure = platform::WriteStatus::Written; // why it was not saved
    };
    // The caller saves nothing while the last load was Held (StateKeeper holds its saves back).
    SaveResult save(const SavedState& state);

    // Where saves go now.
    const QString& savePath() const { return m_savePath; }
    bool held() const { return m_held; }

private:
    // Saves leave the preferred file for the fallback (if any) for good.
    bool moveToFallback();
    void leaveAlone(const QString& place, const QString& why);
    platform::WriteResult write(const QString& path, const SavedState& state);

    platform::Files& m_files;
    QString m_savePath;
    QString m_fallback; // empty once moved, or when there is none
    QStringList m_readPlaces;
    QStringList m_othersFiles; // places holding a file that is not this user's to read or replace
    bool m_held = false;
    bool m_lastSaveFailed = false;
};

} // namespace lumora::records
