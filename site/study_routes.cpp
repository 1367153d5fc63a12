// The site's own study record (progress reports, the 退出学习 button, the record page) and the
// lessons' shapes (entry pages, the lesson document), with their in-process settings.

#include "catalogue.h"
#include "site_server_impl.h"
#include "text_codec.h"

#include <QJsonObject>

#include <algorithm>
#include <cmath>

namespace lumora::site {

using namespace Qt::StringLiterals;

void SiteServer::Impl::studyRoutes(httplib::Server& server)
{
    server.Post("/player/progress",
                [this](const Request& req, Response& res) { progress(req, res); });
    server.Get("/course/records",
               [this](const Request& req, Response& res) { recordsPage(req, res); });
    server.Get("/player/enter", page([this](const Request& req, Response& res, const Visit& v) {
                   entryPage(req, res, v);
               }));
    server.Get(
        R"(/player/media/lesson\.pdf)",
        [document = pages::resource(u"lesson.pdf"_s).toStdString()](const Request&, Response& res) {
            res.set_content(document, "application/pdf");
        });
}

void SiteServer::Impl::recordProgress(const QString& user, const Fields& query, QJsonObject seen,
                                      const QJsonObject& fields)
{
    const auto lesson = lessonOf(query, true);
    seen.insert(u"category"_s, lesson ? lesson->first : -1);
    seen.insert(u"lesson"_s, lesson ? lesson->second : -1);
    seen.insert(u"player"_s, fieldValue(query, "player"_L1));
    for (auto it = fields.begin(); it != fields.end(); ++it) {
        seen.insert(it.key(), it.value());
    }
    state->record(u"progress"_s, user, seen);
}

void SiteServer::Impl::progress(const Request& req, Response& res)
{
    const Fields q = query(req);
    const QString player = fieldValue(q, "player"_L1);
    const bool exit = fieldValue(q, "exit"_L1) == "1"_L1;
    const QJsonObject seen = playerReport(req.body);
    const auto v = visit(req);
    const auto recordSeconds = [&](const QString& user, int category, int lesson) {
        const StudyRecord::Totals totals = studyRecord->totals(user);
        const auto it = totals.find({category, lesson});
        return it == totals.end() ? qint64(0) : it->second / 1000;
    };
    if (!v) {
        // Recorded, and the visit counts on from now: a new session's first report credits
        // nothing of the time without one.
        const QString owner = studyRecord->refused(player, seen);
        if (const auto lesson = lessonOf(q, true)) {
            recordProgress(
                owner, q, seen,
                {{u"session"_s, false},
                 {u"code"_s, 401},
                 {u"creditedMs"_s, 0},
                 {u"heldMs"_s, 0},
                 {u"recordSeconds"_s, recordSeconds(owner, lesson->first, lesson->second)}});
        }
        sendJson(res, {{u"code"_s, 401}, {u"msg"_s, u"登录已失效"_s}}, 401);
        return;
    }
    int category = 0;
    int lesson = 0;
    if (!lessonParams(req, res, true, category, &lesson)) {
        return;
    }
    const QString& user = v->session.user;
    StudyRecord::Progress counted;
    switch (state->playerStatus(user, player, category, lesson)) {
    case SiteState::PlayerStatus::Open:
        counted = studyRecord->progress(player, user, category, lesson, seen, exit);
        break;
    case SiteState::PlayerStatus::Ended: // by the 退出课件 button
        counted.outcome = StudyRecord::Outcome::Ended;
        break;
    case SiteState::PlayerStatus::Unknown:
        break;
    }
    if (counted.outcome == StudyRecord::Outcome::Unknown) {
        sendJson(res, {{u"code"_s, 404}, {u"msg"_s, u"课件不存在"_s}}, 404);
        return;
    }
    const qint64 seconds = recordSeconds(user, category, lesson);
    if (counted.outcome == StudyRecord::Outcome::Ended) {
        sendJson(res, {{u"code"_s, 1},
                       {u"msg"_s, u"课件已退出"_s},
                       {u"ended"_s, true},
                       {u"recordedSeconds"_s, seconds}});
        return;
    }
    const bool capped = counted.outcome == StudyRecord::Outcome::Capped;
    const int code = capped ? -1 : 0;
    const QJsonObject fields{
        {u"creditedMs"_s, counted.creditedMs}, {u"recordSeconds"_s, seconds}, {u"code"_s, code}};
    QJsonObject reported = fields;
    reported.insert(u"session"_s, true);
    reported.insert(u"heldMs"_s, counted.heldMs);
    reported.insert(u"exit"_s, exit);
    recordProgress(user, q, seen, reported);
    if (exit) {
        // What the player's own exit moved into the record.
        state->record(u"exit-study"_s, user,
                      {{u"category"_s, category},
                       {u"lesson"_s, lesson},
                       {u"player"_s, player},
                       {u"creditedMs"_s, counted.creditedMs},
                       {u"recordSeconds"_s, seconds},
                       {u"code"_s, code}});
    }
    if (capped) {
        sendJson(res, {{u"code"_s, -1}, {u"msg"_s, u"今日学时已满"_s}});
    } else {
        sendJson(res, {{u"code"_s, 0}, {u"msg"_s, u"ok"_s}, {u"recordedSeconds"_s, seconds}});
    }
}

void SiteServer::Impl::recordsPage(const Request& req, Response& res)
{
    const RecordPage style = recordStyle();
    if (!style.shown) { // a site without a record page
        sendError(res, 404, u"页面不存在"_s);
        return;
    }
    const auto v = visit(req);
    if (!v) {
        sendHtml(res, withoutSession());
        return;
    }
    const QString asked = fieldValue(query(req), "page"_L1);
    const std::optional<int> number = asked.isEmpty() ? 1 : parseIndex(asked);
    if (!number) {
        sendError(res, 400, u"请求参数无效"_s);
        return;
    }
    // A late record: as it stood that long ago.
    const qint64 at = state->nowMs() - qint64(recordLagMinutes) * 60000;
    sendHtml(res,
             pages::records(charset, v->session.user, studyRecord->entries(v->session.user, at),
                            *number, style, studyRecord->startMs()));
}

RecordPage SiteServer::Impl::recordStyle() const
{
    std::lock_guard lock(faultMutex);
    return recordPage;
}

std::optional<EntryPage> SiteServer::Impl::entryFor(int category) const
{
    std::lock_guard lock(faultMutex);
    for (const int key : {category, -1}) {
        if (const auto it = entryPages.find(key); it != entryPages.end()) {
            return it->second;
        }
    }
    return std::nullopt;
}

void SiteServer::Impl::entryPage(const Request& req, Response& res, const Visit& v)
{
    int category = 0;
    int lesson = 0;
    if (!lessonParams(req, res, false, category, &lesson)) {
        return;
    }
    const EntryPage entry = entryFor(category).value_or(EntryPage{});
    const bool post = entry.method == EntryPage::Method::Post;
    if (req.method != "HEAD") {
        state->record(u"player-entry"_s, v.session.user,
                      {{u"category"_s, category},
                       {u"lesson"_s, lesson},
                       {u"seconds"_s, entry.seconds},
                       {u"method"_s, post ? u"post"_s : u"replace"_s}});
    }
    // On the site clock, as the player pages' own timers.
    const double scale = options.timeScale > 0 ? options.timeScale : 1;
    sendHtml(res, pages::playerEntry(charset, category, lesson,
                                     std::llround(entry.seconds * 1000 / scale), post));
}

void SiteServer::setProgressSeconds(int seconds)
{
    m_impl->progressSeconds = std::max(seconds, 1);
    m_impl->state->record(u"fault"_s, {}, {{u"progressSeconds"_s, std::max(seconds, 1)}});
}

void SiteServer::setSaveOnExitOnly(bool on)
{
    m_impl->studyRecord->setSaveOnExitOnly(on);
    m_impl->state->record(u"fault"_s, {}, {{u"saveOnExitOnly"_s, on}});
}

void SiteServer::setDailyCapMinutes(int minutes)
{
    m_impl->studyRecord->setDailyCapMs(qint64(std::max(minutes, 0)) * 60000);
    m_impl->state->record(u"fault"_s, {}, {{u"dailyCapMinutes"_s, std::max(minutes, 0)}});
}

void SiteServer::setRecordLagMinutes(int minutes)
{
    m_impl->recordLagMinutes = std::max(minutes, 0);
    m_impl->state->record(u"fault"_s, {}, {{u"recordLagMinutes"_s, std::max(minutes, 0)}});
}

void SiteServer::setRecordPage(const RecordPage& page)
{
    {
        std::lock_guard lock(m_impl->faultMutex);
        m_impl->recordPage = page;
    }
    m_impl->state->record(u"fault"_s, {},
                          {{u"recordPage"_s, page.shown},
                           {u"timeForm"_s, QString::fromLatin1(recordTimeFormName(page.timeForm))},
                           {u"titles"_s, QString::fromLatin1(recordTitlesName(page.titles))},
                           {u"linkText"_s, QString::fromStdString(page.linkText)}});
}

void SiteServer::setEntryPage(int category, std::optional<EntryPage> entry)
{
    category = std::max(category, -1);
    {
        std::lock_guard lock(m_impl->faultMutex);
        if (entry) {
            m_impl->entryPages[category] = *entry;
        } else {
            m_impl->entryPages.erase(category);
        }
    }
    const bool post = entry && entry->method == EntryPage::Method::Post;
    m_impl->state->record(u"fault"_s, {},
                          {{u"category"_s, category},
                           {u"entryPage"_s, entry ? QJsonValue(entry->seconds) : QJsonValue()},
                           {u"method"_s, post ? u"post"_s : u"replace"_s}});
}

void SiteServer::setPlayerStart(PlayerStart start)
{
    m_impl->playerStart = start;
    m_impl->state->record(u"fault"_s, {},
                          {{u"playerStart"_s, QString::fromLatin1(playerStartName(start))}});
}

void SiteServer::setOverlayText(const QString& text, const QString& button)
{
    {
        std::lock_guard lock(m_impl->faultMutex);
        m_impl->overlayText = text;
        m_impl->overlayButton = button;
    }
    m_impl->state->record(u"fault"_s, {}, {{u"overlayText"_s, text}, {u"overlayButton"_s, button}});
}

void SiteServer::refuseLogins(std::int64_t ms, const QString& text)
{
    const QString shown =
        text.isEmpty() ? QString::fromStdString(SiteOptions{}.refuseLoginsText) : text;
    {
        std::lock_guard lock(m_impl->faultMutex);
        m_impl->refuseLoginsText = shown;
    }
    m_impl->refuseLoginsUntilMs = m_impl->state->nowMs() + std::max<std::int64_t>(ms, 0);
    m_impl->state->record(u"fault"_s, {},
                          {{u"refuseLoginsMs"_s, qint64(std::max<std::int64_t>(ms, 0))},
                           {u"refuseLoginsText"_s, shown}});
}

void SiteServer::setPrerollSeconds(int seconds)
{
    m_impl->prerollSeconds = std::max(seconds, 0);
    m_impl->state->record(u"fault"_s, {}, {{u"prerollSeconds"_s, std::max(seconds, 0)}});
}

LessonTotals SiteServer::recordMilliseconds(const std::string& user) const
{
    const StudyRecord::Totals totals = m_impl->studyRecord->totals(QString::fromStdString(user));
    return {totals.begin(), totals.end()};
}

} // namespace lumora::site
