// Fuzzes the reading and writing back of a studied-minutes record.

#include "records/timetable.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace lumora::records;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A record is one line of the state file: the reader stops at its line break.
    QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('\n') || text.at(i) == QLatin1Char('\r')) {
            text.truncate(i);
            break;
        }
    }
    StudiedRecord record(text);
    // Read and written back, the record is unchanged.
    if (record.text() != text)
        std::abort();
    for (int lesson = 0; lesson < 25; ++lesson) {
        // Every lesson's minutes are a whole number the driver can add to.
        const int minutes = record.minutes(lesson);
        if (minutes < 0 || minutes > 999999999)
            std::abort();
    }
    // A minute set reads back, and leaves every other lesson as it was.
    const int before = record.minutes(4);
    record.setMinutes(7, 12345);
    const StudiedRecord again(record.text());
    if (again.minutes(7) != 12345 || again.minutes(4) != before ||
        record.text().contains(QLatin1Char('\n')))
        std::abort();
    return 0;
}
