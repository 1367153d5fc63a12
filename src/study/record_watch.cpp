#include "study/record_watch.h"

#include "page/page_access.h"
#include "platform/logging.h"

#include <QDateTime>
#include <QMap>
#include <QSet>

namespace lumora::study {

namespace {

// The documents of the course page where a link to the record may sit: the page itself, its
// frames, and the frames inside the course frame.
const QList<platform::FramePath>& placesOfLinks()
{
    static const QList<platform::FramePath> places = {{}, {0}, {1}, {2}, {3}, {3, 0}, {3, 1}};
    return places;
}

// The lessons whose title `cell` is, by category.
QList<LessonKey> titled(const QString& cell,
                        const std::array<QMap<QString, int>, records::kCategoryCount>& byTitle)
{
    QList<LessonKey> found;
    const QString title = page::normalizedTitle(cell);
    if (title.isEmpty())
        return found;
    for (int category = 0; category < records::kCategoryCount; ++category) {
        const auto it = byTitle.at(category).constFind(title);
        if (it != byTitle.at(category).constEnd())
            found.append({category, *it});
    }
    return found;
}

} // namespace

SiteCount::Figures matchRecord(const QList<page::RecordRow>& rows, bool complete,
                               const std::array<QStringList, records::kCategoryCount>& titles,
                               QStringList* unreadable)
{
    std::array<QMap<QString, int>, records::kCategoryCount> byTitle;
    for (int category = 0; category < records::kCategoryCount; ++category) {
        for (int lesson = 0; lesson < titles.at(category).size(); ++lesson)
            byTitle.at(category).insert(page::normalizedTitle(titles.at(category).at(lesson)),
                                        lesson);
    }
    const QStringList names = records::categoryNames();
    SiteCount::Figures figures;
    QSet<LessonKey> noVerdict;
    QSet<int> matchedCategories;
    for (const page::RecordRow& row : rows) {
        QList<LessonKey> lessons;
        for (const QString& cell : row.cells)
            lessons += titled(cell, byTitle);
        // A row that names its category is that category's, whichever titles are known.
        QList<int> named;
        for (int category = 0; category < records::kCategoryCount; ++category) {
            if (std::any_of(row.cells.begin(), row.cells.end(),
                            [&](const QString& cell) { return cell.contains(names.at(category)); }))
                named.append(category);
        }
        if (!named.isEmpty())
            lessons.removeIf([&](const LessonKey& key) { return !named.contains(key.category); });
        if (lessons.size() != 1)
            continue;
        const LessonKey lesson = lessons.first();
        matchedCategories.insert(lesson.category);
        if (!row.seconds) {
            noVerdict.insert(lesson);
            if (unreadable)
                unreadable->append(row.text);
            continue;
        }
        figures[lesson] += *row.seconds;
    }
    for (const LessonKey& lesson : std::as_const(noVerdict))
        figures.remove(lesson);
    // A category none of whose lessons the record names says nothing of them: its titles may
    // be written another way there.
    if (complete) {
        for (const int category : std::as_const(matchedCategories)) {
            for (int lesson = 0; lesson < titles.at(category).size(); ++lesson) {
                const LessonKey key{category, lesson};
                if (!figures.contains(key) && !noVerdict.contains(key))
                    figures.insert(key, 0);
            }
        }
    }
    return figures;
}

QStringList RecordWatch::defaultLinkTexts()
{
    return {QStringLiteral("学习记录"), QStringLiteral("课程学习记录"), QStringLiteral("学时记录"),
            QStringLiteral("我的学习"), QStringLiteral("我的学时")};
}

RecordWatch::RecordWatch(page::BrowserViews& views, catalogue::Catalogue& catalogue,
                         records::SiteFigures& figures, platform::Clock& clock)
    : m_views(views), m_catalogue(catalogue), m_figures(figures), m_clock(clock),
      m_fetch(views.main())
{
}

void RecordWatch::setSettings(Settings settings)
{
    m_settings = std::move(settings);
    if (m_settings.address.isValid()) {
        m_figures.setPlace(records::RecordPlace::Found, m_settings.address);
        if (!m_lookAt.isEmpty()) {
            // The learner's address overtakes a look for the link, which would otherwise end
            // over it; the reading takes the look's place for whoever follows it.
            m_lookAt.clear();
            ask();
        } else if (!reading()) {
            m_askedAt = {}; // read at the next chance
        }
    }
}

void RecordWatch::find()
{
    if (m_settings.address.isValid()) {
        m_figures.setPlace(records::RecordPlace::Found, m_settings.address);
        return;
    }
    m_lookAt.clear();
    for (const platform::FramePath& place : placesOfLinks()) {
        const QUrl url = m_views.main().document(place).url;
        if ((url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")) &&
            !m_lookAt.contains(url))
            m_lookAt.append(url);
    }
    m_askedAt = m_clock.now();
    if (!lookInNext()) {
        m_figures.setPlace(records::RecordPlace::None);
        m_figures.save();
    }
}

bool RecordWatch::lookInNext()
{
    while (!m_lookAt.isEmpty()) {
        m_lookTicket = m_views.main().fetch(m_lookAt.first());
        if (m_lookTicket != 0)
            return true;
        m_lookAt.removeFirst();
    }
    return false;
}

std::optional<SiteReading> RecordWatch::followLook()
{
    const platform::FetchAnswer answer = m_views.main().fetchAnswer(m_lookTicket);
    if (answer.status == platform::FetchAnswer::Status::Pending &&
        m_clock.now() - m_askedAt < kPatience)
        return std::nullopt;
    const QUrl looked = m_lookAt.takeFirst();
    const QUrl link = answer.status == platform::FetchAnswer::Status::Answered && !answer.leftOrigin
                          ? page::linkTo(answer.body, answer.url.isEmpty() ? looked : answer.url,
                                         m_settings.linkTexts)
                          : QUrl();
    if (link.isValid()) {
        qCInfo(lcStudy) << "the site's study record is at" << link.toString() << "(linked from"
                        << looked.toString() << ")";
        m_lookAt.clear();
        m_figures.setPlace(records::RecordPlace::Found, link);
        m_figures.save();
        ask();
        return std::nullopt;
    }
    if (lookInNext())
        return std::nullopt;
    qCWarning(lcStudy) << "no link to the site's study record on the course page (looked for"
                       << m_settings.linkTexts.join(QLatin1Char('/')) << ")";
    m_figures.setPlace(records::RecordPlace::None);
    m_figures.save();
    SiteReading none;
    none.at = m_clock.now();
    none.failure = QStringLiteral("the site has no study record page");
    return none;
}

bool RecordWatch::ask()
{
    if (!m_lookAt.isEmpty())
        return true; // a reading follows the look
    if (place() != records::RecordPlace::Found)
        return false;
    if (reading())
        return true;
    m_askedAt = m_clock.now();
    m_fetch.start(m_figures.address(), {m_settings.minutesPerXueshi});
    return true;
}

std::optional<SiteReading> RecordWatch::poll()
{
    if (!m_lookAt.isEmpty())
        return followLook();
    if (!reading())
        return std::nullopt;
    if (m_fetch.poll() == page::RecordFetch::State::Reading) {
        if (m_clock.now() - m_askedAt < kPatience)
            return std::nullopt;
        m_fetch.abandon();
        return finish();
    }
    return finish();
}

SiteReading RecordWatch::finish()
{
    SiteReading reading;
    reading.at = m_clock.now();
    if (m_fetch.state() != page::RecordFetch::State::Read) {
        reading.failure = m_fetch.state() == page::RecordFetch::State::Failed
                              ? m_fetch.failure()
                              : QStringLiteral("no answer in %1 s").arg(kPatience.count());
        qCWarning(lcStudy) << "the site's study record could not be read:" << reading.failure;
        // The page it was found at may have moved: it is looked for again.
        if (++m_failuresInARow >= kFailuresBeforeLookingAgain && !m_settings.address.isValid())
            m_figures.setPlace(records::RecordPlace::Unknown);
        return reading;
    }
    m_failuresInARow = 0;
    std::array<QStringList, records::kCategoryCount> titles;
    for (int category = 0; category < records::kCategoryCount; ++category)
        titles.at(category) = m_catalogue.lessonTitles(category);
    QStringList unreadable;
    reading.figures = matchRecord(m_fetch.rows(), m_fetch.complete(), titles, &unreadable);
    for (const QString& row : std::as_const(unreadable))
        qCWarning(lcStudy) << "a row of the site's study record gives no time that can be read:"
                           << row;
    reading.ok = true;
    const QDateTime now = QDateTime::currentDateTime();
    for (auto it = reading.figures.constBegin(); it != reading.figures.constEnd(); ++it)
        m_figures.set(it.key().category, it.key().lesson, {it.value(), now});
    m_figures.setLastRead(now);
    m_figures.save();
    qCInfo(lcStudy).nospace() << "the site's study record: " << m_fetch.rows().size()
                              << " rows, figures for " << reading.figures.size() << " lessons";
    return reading;
}

} // namespace lumora::study
