// Fuzzes the reading of a studied-minutes record against each category's table of lessons.

#include "records/timetable.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace lumora::records;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString record =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const QString& table : requiredMinutesTables()) {
        const LessonMinutes lessons = loadLessonMinutes(table, record);
        // One studied figure per lesson of the table, each a whole number the driver can add to.
        if (lessons.studied.size() != lessons.required.size())
            std::abort();
        for (const QString& minutes : lessons.studied) {
            if (!isWholeMinutes(minutes))
                std::abort();
        }
        // Saved and read again, the record gives the same minutes.
        if (loadLessonMinutes(table, buildStudiedRecord(lessons.studied)).studied !=
            lessons.studied)
            std::abort();
    }
    return 0;
}
