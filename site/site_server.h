#pragma once

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

// What the player page's <video> plays.
enum class PlayerMedia
{
    Canvas,      // the page's own canvas animation, through its capture stream
    Unsupported, // a source no browser plays: the video's error is MEDIA_ERR_SRC_NOT_SUPPORTED (4)
    Broken,      // a stream that loads its metadata, then ends as undecodable: MEDIA_ERR_DECODE (3)
    Mp4,         // a 20 s H.264/AAC lesson (media/lesson.mp4), played over and over
    Missing,     // a source address that answers 404, as a broken or expired link does
};
// "canvas", "unsupported", "broken", "mp4", "missing", and back (nullopt for another name).
std::string_view playerMediaName(PlayerMedia media);
std::optional<PlayerMedia> playerMediaFromName(std::string_view name);

// How a page request without a valid session is answered.
enum class EndedSessionPage
{
    LoginForm, // the login page itself (200)
    TimeoutPage, // 200 with a short "会话已超时" page whose script sends the top window to log in
};
// "login", "timeout", and back (nullopt for another name).
std::string_view endedSessionPageName(EndedSessionPage page);
std::optional<EndedSessionPage> endedSessionPageFromName(std::string_view name);

struct SiteOptions
{
    std::string bind = "127.0.0.1";
    int port = 18080;            // 0 picks a free port
    std::string charset = "GBK"; // "GBK" or "utf-8" (any case; "utf8" too)
    int heartbeatMs = 10000;     // how often an open player reports; clamped to 50..3600000
    // Accounts besides demo/demo123 (name, password); a repeated name replaces the password.
    std::vector<std::pair<std::string, std::string>> extraUsers{};
    // Monotonic milliseconds for study time, session lifetimes and event stamps: the site
    // clock. Empty = std::chrono::steady_clock. Tests set it to control time.
    std::function<std::int64_t()> clockMs{};

    // Fault modes, also settable while the server runs (see SiteServer).
    std::int64_t sessionLifetimeMs = 0; // sessions end this long after login; 0: never
    double playerFailureRate = 0;       // fraction of player loads answered with 500
    std::uint64_t playerFailureSeed = 1;
    int failNextPlayerLoads = 0; // the first N player loads are answered with 500
    // A player whose report is refused for want of a session stays on its page (and goes on
    // reporting) instead of going to the login page.
    bool endedSessionKeepsPlayer = false;
    // Player pages served to hang: their script stops answering shortly after load.
    double playerHangRate = 0; // fraction of the player pages served
    std::uint64_t playerHangSeed = 1;
    int hangNextPlayers = 0; // the first N player pages served
    PlayerMedia playerMedia = PlayerMedia::Canvas;
    // Answers whose path starts with the key are sent that many milliseconds (site clock) late.
    std::map<std::string, int> pathDelaysMs{};
    EndedSessionPage endedSessionPage = EndedSessionPage::LoginForm;
    int videoSeconds = 0;        // the lesson's video ends after this much playing; 0: never
    int overlayAfterSeconds = 0; // the player pauses behind "继续学习?" after this much; 0: never
    // What the login's code field must hold (any case). Another than "ok" makes a picture
    // captcha: the code picture shows it, and the page gives no hint.
    std::string loginCode = "ok";
    // Site-clock milliseconds per real one when clockMs runs faster than real time; the player
    // pages' video clock then follows the site clock. 0: the site clock is real time.
    double timeScale = 0;
    // The site's video host: a second port (0: a free one) serving the same paths, a frame of
    // another origin for players whose video plays there: those of every category, or of the
    // categories listed.
    int videoHostPort = 0;
    bool crossOriginVideos = false;
    std::vector<int> crossOriginCategories{};
    // A 200 page saying this in place of every lesson's player (when not empty), or of one
    // lesson's: (category, lesson) -> message (UTF-8).
    std::string playerMessage{};
    std::map<std::pair<int, int>, std::string> lessonMessages{};
    int autoNextSeconds = 0; // players go to the next lesson's player after this long; 0: never
    // A site-wide video outage: from `videoOutageAtMs` after the start (site clock), for
    // `videoOutageForMs`, every video source answers `videoOutageStatus`.
    std::int64_t videoOutageAtMs = 0;
    std::int64_t videoOutageForMs = 0;
    int videoOutageStatus = 503;
    // Categories whose lesson list shows only their first N lessons: category -> N.
    std::map<int, int> listedLessons{};
};

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
