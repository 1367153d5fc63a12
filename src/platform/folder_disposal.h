#pragma once

// Removes folders without making the caller wait: a folder is renamed aside, which is one quick
// call and frees its name at once, and deleted by a thread of its own. The engine's HTTP cache,
// cleared at every start, can hold thousands of files after a day of lessons.

#include <QString>
#include <thread>
#include <vector>

namespace lumora::platform {

class FolderDisposal
{
public:
    FolderDisposal() = default;
    // Waits for the deletions under way.
    ~FolderDisposal();
    FolderDisposal(const FolderDisposal&) = delete;
    FolderDisposal& operator=(const FolderDisposal&) = delete;

    // Empties the place of `path` now and deletes its contents later, with whatever an earlier
    // run left aside there and did not finish deleting. A folder that cannot be renamed (a file
    // in it held open on Windows) is deleted here and now.
    void dispose(const QString& path);

    // The prefix of the names of folders set aside from `path`.
    static QString asidePrefix(const QString& path);

private:
    std::vector<std::thread> m_workers;
};

} // namespace lumora::platform
