// Fuzzes the state file's parser with arbitrary file contents.

#include "records/state_file.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace lumora::records;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const LoadedState loaded = parseStateFile(bytes);

    if (loaded.linesRead < 0 || loaded.linesRead > kStateFileLines)
        std::abort();
    // Each value is one line: a line break inside one would shift every later line on save.
    const SavedState& v = loaded.values;
    for (const QString* value :
         {&v.userName, &v.password, &v.studiedRecords[0], &v.studiedRecords[1],
          &v.studiedRecords[2], &v.studiedRecords[3]}) {
        if (value->contains(QLatin1Char('\n')))
            std::abort();
    }
    // What was read is saved as six lines that read back the same.
    const LoadedState again = parseStateFile(formatStateFile(v));
    if (again.linesRead != kStateFileLines || again.values.studiedRecords != v.studiedRecords)
        std::abort();
    // Credentials come back byte for byte, quotes and all: another password would be refused.
    if (again.values.userName != v.userName || again.values.password != v.password)
        std::abort();
    return 0;
}
