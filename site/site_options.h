#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// What the stand-in site is to be: its settings at the start, and the names of their values.
namespace lumora::site {

// What the player page plays its lesson with.
enum class PlayerMedia
{
    Canvas,      // the page's own canvas animation, through its capture stream
    Unsupported, // a source no browser plays: the video's error is MEDIA_ERR_SRC_NOT_SUPPORTED (4)
    Broken,      // a stream that loads its metadata, then ends as undecodable: MEDIA_ERR_DECODE (3)
    Mp4,         // a 20 s H.264/AAC lesson (media/lesson.mp4), played over and over
    Missing,     // a source address that answers 404, as a broken or expired link does
    Audio,       // an <audio> element (no <video>) playing the lesson clock's silent track
    ShadowOpen,  // as Canvas, its <video> inside the open shadow root of a <lesson-player>
    ShadowClosed, // ... inside a closed one, out of reach of other scripts
    Pdf,          // a document lesson: a PDF in an <embed>, no media element at all
};
// "canvas", "unsupported", "broken", "mp4", "missing", "audio", "shadow-open", "shadow-closed",
// "pdf", and back (nullopt for another name).
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

// How the record page writes a lesson's time.
enum class RecordTimeForm
{
    MinSec,  // "75分3秒"
    Hms,     // "1:15:03"
    MmSs,    // "75:03" (minutes past 59 too)
    Minutes, // "75分钟", whole minutes rounded down
    Seconds, // "4503", under the header "学习时长(秒)"
    Xueshi, // "1.6学时": 45 minutes a 学时, one decimal rounded down, under the header "学时"
};
// "min-sec", "hms", "mm-ss", "minutes", "seconds", "xueshi", and back.
std::string_view recordTimeFormName(RecordTimeForm form);
std::optional<RecordTimeForm> recordTimeFormFromName(std::string_view name);

// How the record page writes a lesson's title.
enum class RecordTitles
{
    Fullwidth, // "第１课　心理学基础": full-width digits and space, unlike the lesson list
    Plain,     // as the lesson list writes it
};
// "fullwidth", "plain", and back.
std::string_view recordTitlesName(RecordTitles titles);
std::optional<RecordTitles> recordTitlesFromName(std::string_view name);

// The record page (/course/records) and its link in the header frame.
struct RecordPage
{
    bool shown = true; // false: no link, and the page answers 404
    RecordTimeForm timeForm = RecordTimeForm::MinSec;
    RecordTitles titles = RecordTitles::Fullwidth;
    std::string linkText = "学习记录"; // UTF-8
};

// A page a lesson link opens before the player, which hands the window on after a while.
struct EntryPage
{
    enum class Method
    {
        Replace, // location.replace() to the player's address
        Post,    // a form posted to /player/play
    };
    int seconds = 0; // site clock
    Method method = Method::Replace;
};

// How a player's medium starts.
enum class PlayerStart
{
    Autoplay, // by itself
    Button,   // not before its "播放" button is pressed
    Resume, // paused behind a dialog "从上次位置继续？" with "继续播放" and "从头播放"
};
// "autoplay", "button", "resume", and back.
std::string_view playerStartName(PlayerStart start);
std::optional<PlayerStart> playerStartFromName(std::string_view name);

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
    // Told of each request as it arrives (headers read), before any fault or delay answers it,
    // on the server's worker thread: its method and path. For measuring when a visitor asked.
    std::function<void(const std::string& method, const std::string& path)> requestArrived{};

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
    // Lessons whose player plays another medium than playerMedia: (category, lesson) -> medium.
    std::map<std::pair<int, int>, PlayerMedia> lessonMedia{};

    // The site's own study record (see StudyRecord): players report their progress every
    // `progressSeconds` (site clock), and the record counts what those reports validate.
    int progressSeconds = 60;
    bool saveOnExitOnly = false; // a visit reaches the record only through its 退出学习 button
    int dailyCapMinutes = 0;  // the record counts at most this much a user and site day; 0: no cap
    double siteDayHours = 24; // a site day's length (site clock, from the start)
    int recordLagMinutes = 0; // the record page shows the record as it stood this long ago
    RecordPage recordPage{};

    // Categories whose lesson links open an entry page first: category -> entry; -1: every one.
    std::map<int, EntryPage> entryPages{};
    PlayerStart playerStart = PlayerStart::Autoplay;
    std::string overlayText = "继续学习?";  // the question of overlayAfterSeconds, UTF-8
    std::string overlayButton = "继续学习"; // ... and its button
    // Every login is refused with `refuseLoginsText` for this long after the start (site clock).
    std::int64_t refuseLoginsForMs = 0;
    std::string refuseLoginsText = "系统维护中，暂停登录，请稍后再试";
    int prerollSeconds = 0; // players play a clip of this length before the lesson; 0: none
};

} // namespace lumora::site
