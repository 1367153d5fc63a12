#pragma once

// Reading the site's study record in the page's own session: a GET asked by the main view's
// page (as the session check asks, with the page's cookies, nothing shown or stored), its answer
// looked at later, never waited for; a record in pages is followed page by page ("下一页"), up
// to kMaxPages. The learner's view never loads it.

#include "page/study_record.h"
#include "platform/browser_control.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QUrl>

namespace lumora::page {

class RecordFetch
{
public:
    static constexpr int kMaxPages = 20;

    enum class State
    {
        Idle,    // nothing asked
        Reading, // a page is asked for and not answered yet
        Read,    // every page read (or kMaxPages of them)
        Failed,  // no record came: failure() says why
    };

    explicit RecordFetch(platform::BrowserControl& main) : m_main(main) {}

    // Starts reading the record at `address`; a read under way is dropped.
    void start(const QUrl& address, const RecordReading& reading);
    // Looks at the answer to the page asked last (one round trip) and asks for the next page
    // when the record goes on (one more). The state after it.
    State poll();
    // Drops a read under way (its answers come too late to matter).
    void abandon() { m_state = State::Idle; }
    State state() const { return m_state; }

    // A read's rows, every page's, in order.
    const QList<RecordRow>& rows() const { return m_rows; }
    // The read reached the record's last page: a lesson it does not list has no time there.
    bool complete() const { return m_complete; }
    // Why the read failed, for the log.
    const QString& failure() const { return m_failure; }

private:
    State fail(const QString& why);
    void ask(const QUrl& address);

    platform::BrowserControl& m_main;
    RecordReading m_reading;
    State m_state = State::Idle;
    QUrl m_asked;
    int m_ticket = 0;
    int m_pages = 0;
    QSet<QUrl> m_seen;
    QList<RecordRow> m_rows;
    bool m_complete = false;
    QString m_failure;
};

} // namespace lumora::page
