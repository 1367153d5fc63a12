#pragma once

// The site's study record during a run: where it is (the learner's address, else a link or
// menu item of the course page or its frames whose text is one of the learner's list, read from
// each document's HTML as the site sends it), reading it without holding a tick (asked now, its
// answer looked at later), and what it says of each lesson: its rows matched to the lessons by
// their titles on the site's lesson lists, within their category. What cannot be read is no
// verdict for that lesson, never a zero. Each reading is kept in the site's figures (and their
// file) with when it was read.

#include "catalogue/catalogue.h"
#include "page/browser_views.h"
#include "page/record_fetch.h"
#include "platform/clock.h"
#include "records/site_figures.h"
#include "study/site_count.h"

#include <QStringList>
#include <QUrl>
#include <array>
#include <chrono>
#include <optional>

namespace lumora::study {

// What one reading of the record came to.
struct SiteReading
{
    bool ok = false;
    SiteCount::Figures figures; // seconds, for every lesson it gave a verdict on
    std::chrono::milliseconds at{0};
    QString failure; // why it gave nothing, for the log
};

// The record's rows as lessons. A row is a lesson's when one of its cells is the lesson's title
// (compared normalized: spaces and full-width forms do not matter), in a category whose titles
// are known and, when a cell of the row names a category, in that one.
// A lesson's rows add up (a record may list each visit). In a category where some row matched,
// a lesson with no row has no time on the site when the read was `complete`. A matched row whose
// time cannot be read leaves its lesson without a verdict; its text goes to `unreadable`.
SiteCount::Figures matchRecord(const QList<page::RecordRow>& rows, bool complete,
                               const std::array<QStringList, records::kCategoryCount>& titles,
                               QStringList* unreadable = nullptr);

class RecordWatch
{
public:
    struct Settings
    {
        QStringList linkTexts = defaultLinkTexts();
        QUrl address; // the learner's; empty: looked for on the course page
        std::optional<double> minutesPerXueshi;
    };
    static QStringList defaultLinkTexts();

    // How long a reading may take before it is given up.
    static constexpr std::chrono::seconds kPatience{60};
    // Readings that failed in a row before the record is looked for again on the course page.
    static constexpr int kFailuresBeforeLookingAgain = 3;

    RecordWatch(page::BrowserViews& views, catalogue::Catalogue& catalogue,
                records::SiteFigures& figures, platform::Clock& clock);

    void setSettings(Settings settings);
    records::RecordPlace place() const { return m_figures.place(); }

    // Starts looking for the record page on the course page now shown, its documents asked for
    // one by one (the learner's address is taken as given); a reading follows when it is found.
    void find();
    // Starts a reading unless one is under way; false when there is no record page.
    bool ask();
    // A look or a reading is under way: poll() follows it.
    bool reading() const
    {
        return !m_lookAt.isEmpty() || m_fetch.state() == page::RecordFetch::State::Reading;
    }
    // When the last reading was asked for (the run's clock; 0: never).
    std::chrono::milliseconds lastAsked() const { return m_askedAt; }
    // Follows the look or the reading under way: a reading that ended now (or a look that
    // found no record page), once.
    std::optional<SiteReading> poll();

private:
    SiteReading finish();
    // Asks for the next document to look in; false when none is left.
    bool lookInNext();
    std::optional<SiteReading> followLook();

    page::BrowserViews& m_views;
    catalogue::Catalogue& m_catalogue;
    records::SiteFigures& m_figures;
    platform::Clock& m_clock;
    Settings m_settings;
    page::RecordFetch m_fetch;
    std::chrono::milliseconds m_askedAt{0};
    int m_failuresInARow = 0;
    QList<QUrl> m_lookAt; // the documents still to look in for the link, the one asked first
    int m_lookTicket = 0;
};

} // namespace lumora::study
