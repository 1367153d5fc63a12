// Fuzzes the reading of a study-record page: its rows and times, its next page, a link found by
// its text, a title normalized.

#include "page/study_record.h"

#include <QString>
#include <QStringList>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace lumora::page;

namespace {

const QUrl kBase(QStringLiteral("http://training.example/record/list.do?page=1"));

void require(bool promise)
{
    if (!promise)
        std::abort();
}

void read(const QString& text)
{
    for (const RecordReading& reading : {RecordReading{}, RecordReading{45.0}}) {
        const RecordPage page = parseRecordPage(text, kBase, reading);
        // The next page is an address to load, and not this page again.
        require(page.nextPage.isEmpty() ||
                (page.nextPage.isValid() && page.nextPage.adjusted(QUrl::RemoveFragment) != kBase));
        for (const RecordRow& row : page.rows) {
            // A lesson's row shows something; only a time column gives a time, never negative.
            require(std::any_of(row.cells.begin(), row.cells.end(),
                                [](const QString& cell) { return !cell.isEmpty(); }));
            require(!row.seconds || (page.hasTimeColumn && *row.seconds >= 0));
            require(row.text == row.cells.join(QStringLiteral(" | ")));
        }
        for (const BareNumberUnit unit : {BareNumberUnit::None, BareNumberUnit::Seconds,
                                          BareNumberUnit::Minutes, BareNumberUnit::Xueshi}) {
            const std::optional<int> seconds = parseStudyTime(text, reading, unit);
            require(!seconds || *seconds >= 0);
        }
    }
    const QUrl link = linkTo(text, kBase, {QStringLiteral("学习记录"), QStringLiteral("下一页")});
    require(link.isEmpty() || link.isValid());
    // A title compares without any white space.
    const QString title = normalizedTitle(text);
    require(std::none_of(title.begin(), title.end(), [](QChar c) { return c.isSpace(); }));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Pages come decoded; a page in another encoding than the one assumed is read as Latin-1.
    const char* bytes = reinterpret_cast<const char*>(data);
    read(QString::fromUtf8(bytes, static_cast<qsizetype>(size)));
    read(QString::fromLatin1(bytes, static_cast<qsizetype>(size)));
    return 0;
}
