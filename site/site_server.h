#pragma once

#include "site_options.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The stand-in training site: login, course page with frames, lesson lists, lesson player,
// housekeeping test pages and a record of what visitors did, served over HTTP; with fault
// modes (sessions that end, player pages that fail, hang or cannot play, videos that end or
// pause, slow pages, maintenance, outages, stalls) for recovery tests.
namespace lumora::site {

// Study time per lesson: (category, lesson) -> milliseconds.
using LessonTotals = std::map<std::pair<int, int>, std::int64_t>;

class SiteServer
{
public:
    explicit SiteServer(SiteOptions options);
    ~SiteServer(); // stops
    SiteServer(const SiteServer&) = delete;
    SiteServer& operator=(const SiteServer&) = delete;

    // Binds and serves on a background thread. Returns the bound port once connections are
    // accepted, or -1 (see lastError()). Calling it while running returns the current port.
    int start();
    // Stops serving (ending an outage or a stall) and joins the thread; the record is kept.
    // Safe to call more than once.
    void stop();

    int port() const;               // while started (in an outage too), else -1
    std::string baseUrl() const;    // "http://127.0.0.1:PORT"
    std::string eventsJson() const; // same as GET /_site/events
    void resetRecord();             // same as POST /_site/reset
    std::string lastError() const;

    // Fault modes. Each is safe to call from any thread while the server runs, and is
    // recorded in the event record.
    //
    // Sessions end `ms` after their login (site clock); 0 or less: only on logout. Applies to
    // sessions already open too.
    void setSessionLifetimeMs(std::int64_t ms);
    // Answers a `fraction` (0..1) of player loads with 500, drawn from a generator seeded
    // with `seed`: the same seed fails the same loads.
    void setPlayerFailureRate(double fraction, std::uint64_t seed);
    // Answers the next `count` player loads with 500.
    void failNextPlayerLoads(int count);
    // Serves the next `count` player pages (loads that do not fail) to hang: shortly after
    // load an endless loop holds the page's main thread, so it sends no report and answers no
    // script call. Each is recorded as "player-hung" after its "player-open".
    void hangNextPlayers(int count);
    // Serves a `fraction` (0..1) of player pages to hang, drawn as for setPlayerFailureRate
    // from a generator of its own.
    void setPlayerHangRate(double fraction, std::uint64_t seed);
    // What the <video> of player pages served from now on plays.
    void setPlayerMedia(PlayerMedia media);
    // What an open player does when its report is refused because its session ended: false
    // (the default) goes to the login page, true stays on the page and goes on reporting.
    // Applies to open players too, from their next refused report.
    void setEndedSessionKeepsPlayer(bool keep);
    // How page requests without a valid session are answered from now on (JSON ones: 401).
    void setEndedSessionPage(EndedSessionPage page);
    // Answers whose path starts with `pathPrefix` wait `ms` (site clock) on the server's worker
    // thread before they are sent; 0 removes the delay. The longest matching prefix applies.
    void setPathDelay(const QString& pathPrefix, int ms);
    // While on, every request (pages, reports, media) is answered 503 with a maintenance page;
    // reports credit nothing, and the time it lasted is never credited afterwards.
    void setMaintenance(bool on);
    bool inMaintenance() const;
    // The video of player pages served from now on ends after `seconds` of playing (it stops;
    // currentTime = 0 and play() play it again); 0: it never ends.
    void setVideoSeconds(int seconds);
    // The video of player pages served from now on pauses after each `seconds` of playing behind
    // an overlay "继续学习?" whose button alone resumes it; 0: never.
    void setOverlayAfter(int seconds);
    // What the video of that lesson's player pages plays, whatever setPlayerMedia says;
    // nullopt: as setPlayerMedia says.
    void setLessonMedia(int category, int lesson, std::optional<PlayerMedia> media);
    // The video of players served from now on plays in a frame of another origin (the video
    // host, videoHostPort()), for `category`'s lessons or, with -1, every lesson; off again with
    // `on` false (a category's own setting goes; -1 clears them all).
    void setCrossOriginVideo(bool on, int category = -1);
    int videoHostPort() const; // while started, else -1
    // Players requested from now on get a 200 page saying `message` instead, for that lesson or,
    // with -1, every lesson (a lesson's own message comes first); an empty message removes it.
    void setPlayerMessage(const QString& message, int category = -1, int lesson = -1);
    // Players served from now on go to the next lesson's player by themselves after `seconds`
    // (site clock; the last lesson of a category stays); 0: never.
    void setAutoNextAfter(int seconds);
    // Every video source (/player/media/, on both ports) answers `status` for `ms` from now
    // (site clock); 0 or less ends the outage.
    void setVideoOutage(int status, std::int64_t ms);
    bool inVideoOutage() const;
    // A player page was served whose video has not yet started playing nor failed (the page
    // says so when its video follows the site clock, SiteOptions::timeScale).
    bool videoStarting() const;
    // The lesson list of `category` shows its first `count` lessons only; negative: all.
    void setListedLessons(int category, int count);

    // The site's own study record (see StudyRecord, and the README's "The site's record").
    // Players served from now on send a progress report every `seconds` (site clock; at least 1).
    void setProgressSeconds(int seconds);
    // With `on`, what a visit's progress reports credit is held per player and reaches the
    // record only when its 退出学习 button is pressed; a player left any other way loses it.
    void setSaveOnExitOnly(bool on);
    // The record counts at most `minutes` a user and site day; 0: no cap. Reports past it are
    // answered {"code":-1,"msg":"今日学时已满"} and count nothing.
    void setDailyCapMinutes(int minutes);
    // The record page shows the record as it stood `minutes` ago (site clock); 0: as it is.
    void setRecordLagMinutes(int minutes);
    // How the record page writes times and titles, its link's text, or that there is none.
    void setRecordPage(const RecordPage& page);
    // The lesson links of `category` (-1: of every category without one of its own) open that
    // entry page before the player, from the next lesson list on; nullopt removes it.
    void setEntryPage(int category, std::optional<EntryPage> entry);
    // How the medium of players served from now on starts.
    void setPlayerStart(PlayerStart start);
    // The question of setOverlayAfter, and its button, for players served from now on.
    void setOverlayText(const QString& text, const QString& button);
    // Every login is refused for `ms` from now (site clock) with the login page saying `text`
    // (empty: "系统维护中，暂停登录，请稍后再试"), whatever the credentials; 0 ends it.
    void refuseLogins(std::int64_t ms, const QString& text = {});
    // Players served from now on play a clip of `seconds` before the lesson; 0: none.
    void setPrerollSeconds(int seconds);
    // Ends every open session now, as logging out would (recorded once, as "sessions-ended");
    // returns how many were open.
    int endAllSessions();
    // Stops listening: connections to the port are refused until endOutage(). Returns false
    // when the server is not started or already in an outage or a stall.
    bool beginOutage();
    // Listens again on the same port. Returns false (see lastError()) when the port cannot
    // be bound again; the outage then goes on.
    bool endOutage();
    bool inOutage() const;
    // Stalls: connections to the port are accepted and their requests read, but nothing is
    // answered until endStall(), which closes every connection still waiting, unanswered.
    // Connections open when the stall begins are closed at once (a request on one in flight
    // gets no answer; an idle one's client opens a new connection, which waits). The waiting
    // takes none of the server's workers. Returns false when the server is not started or
    // already in a stall or an outage.
    bool beginStall();
    // Serves again on the same port. Returns false (see lastError()) when the port cannot be
    // bound again; the site is then in an outage (endOutage() tries again).
    bool endStall();
    bool inStall() const;

    // The site clock now, and when it last counted a heartbeat of `user` for that lesson
    // (-1 if never since the start or the last reset).
    std::int64_t clockMs() const;
    std::int64_t lastCountedHeartbeatMs(const std::string& user, int category, int lesson) const;
    // The study time the site credited to `user` (since the start or the last reset), as the
    // record's "studyMilliseconds" holds it.
    LessonTotals studyMilliseconds(const std::string& user) const;
    // The watched time: the part of the study time in which the player reported its video
    // playing and advancing (by no more than its currentTime moved), as the record's
    // "watchedMilliseconds" holds it.
    LessonTotals watchedMilliseconds(const std::string& user) const;
    // The site's own record of `user` now (no lag): what progress reports moved into it.
    LessonTotals recordMilliseconds(const std::string& user) const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Reads accounts from a file of "name:password" lines (UTF-8). Blank lines and lines starting
// with '#' are skipped; a password may contain ':'. Returns false with a message naming the
// line for a line without ':' or with an empty name, or when the file cannot be read.
bool loadUsersFile(const std::string& path, std::vector<std::pair<std::string, std::string>>& out,
                   std::string& error);

} // namespace lumora::site
