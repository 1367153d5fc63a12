#pragma once

// The files seam in memory, for the state file's tests: owners, held files and times set by hand.

#include "platform/files.h"

#include <QMap>

namespace lumora::testing {

// Files in memory, each with the time it was written, its owner and how a read of it ends. As
// on the system, a file another program holds cannot be replaced, while another user's can be
// (a rename in a folder this user may write), and a file written is this user's and newest.
class FakeFiles final : public platform::Files
{
public:
    struct File
    {
        QByteArray bytes;
        int written = 0;
        platform::Ownership owner = platform::Ownership::ThisUser;
        platform::ReadStatus readAs = platform::ReadStatus::Read;
    };
    std::optional<Facts> facts(const QString& path) override
    {
        if (!files.contains(path))
            return std::nullopt;
        return Facts{QDateTime::fromSecsSinceEpoch(files[path].written), files[path].owner};
    }
    platform::ReadResult read(const QString& path) override
    {
        const File file =
            files.value(path, {{}, 0, platform::Ownership::Unknown, platform::ReadStatus::Missing});
        return {file.readAs, file.readAs == platform::ReadStatus::Read ? file.bytes : QByteArray(),
                "fake"};
    }
    platform::WriteResult write(const QString& path, const QByteArray& data) override
    {
        ++writes;
        if (files.value(path).readAs == platform::ReadStatus::Locked)
            return {platform::WriteStatus::Held, "held by another program"};
        files[path] = {data, ++clock};
        return {platform::WriteStatus::Written, {}};
    }
    QMap<QString, File> files;
    int clock = 100, writes = 0;
};

} // namespace lumora::testing
