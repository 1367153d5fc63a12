#include "study_options.h"

#include <QRegularExpression>

#include <cmath>
#include <functional>
#include <optional>

namespace lumora::site::cli {

namespace {

using namespace Qt::StringLiterals;

struct Option
{
    const char* name;
    const char* valueName; // nullptr: a flag
    const char* help;
};
constexpr Option kOptions[] = {
    {"progress-seconds", "N",
     "players send a progress report, what the site's record counts, every N seconds (site "
     "clock; default 60)"},
    {"save-on-exit-only", nullptr,
     "a visit reaches the record only when its player's 退出学习 button is pressed"},
    {"daily-cap-minutes", "N",
     "the record counts at most N minutes a user and site day; later reports are answered "
     "\"今日学时已满\" (default 0: no cap)"},
    {"site-day-hours", "H", "a site day's length, from the start by the site clock (default 24)"},
    {"record-titles", "fullwidth|plain",
     "the record page writes titles with full-width digits and space (default) or as the "
     "lesson list does"},
    {"record-time-form", "min-sec|hms|mm-ss|minutes|seconds|xueshi",
     "how the record page writes a lesson's time (default min-sec: \"75分3秒\")"},
    {"record-lag-minutes", "N", "the record page shows the record as it stood N minutes ago"},
    {"record-link-text", "TEXT", "the text of the record page's links (default 学习记录)"},
    {"no-record", nullptr, "the site has no record page: no link, and /course/records is 404"},
    {"entry-page", "K=S[:post]|all=S[:post]",
     "lesson links of category K (or all) open an entry page that goes on to the player after S "
     "seconds (site clock), by location.replace() or with :post a posted form (repeatable)"},
    {"lesson-media", "K-M=NAME",
     "lesson M of category K plays NAME, as --player-media names them (repeatable)"},
    {"player-start", "autoplay|button|resume",
     "the medium starts by itself (default), at a 播放 button, or behind a dialog "
     "\"从上次位置继续？\""},
    {"overlay-text", "TEXT", "the question of --overlay-after (default 继续学习?)"},
    {"overlay-button", "TEXT", "its button (default 继续学习)"},
    {"refuse-logins-for", "SECONDS",
     "refuse every login for SECONDS after the start (site clock) with --refuse-logins-text"},
    {"refuse-logins-text", "TEXT", "default 系统维护中，暂停登录，请稍后再试"},
    {"preroll-seconds", "S", "players play an S-second clip labelled 广告 before the lesson"},
};

QString badValue(const QCommandLineParser& parser, const char* name)
{
    return u"bad value %1 for --%2"_s.arg(parser.value(QLatin1StringView(name)),
                                          QLatin1StringView(name));
}

// A named value of `--name`, looked up with `fromName`.
template <typename Value>
QString readNamed(const QCommandLineParser& parser, const char* name, Value& into,
                  std::optional<Value> (*fromName)(std::string_view))
{
    if (!parser.isSet(QLatin1StringView(name))) {
        return {};
    }
    const auto value = fromName(parser.value(QLatin1StringView(name)).toStdString());
    if (!value) {
        return badValue(parser, name);
    }
    into = *value;
    return {};
}

QString readEntryPages(const QCommandLineParser& parser, SiteOptions& options)
{
    static const QRegularExpression form(u"^(all|\\d+)=(\\d+)(:post)?$"_s);
    for (const QString& value : parser.values(u"entry-page"_s)) {
        const QRegularExpressionMatch match = form.match(value);
        bool ok = match.hasMatch();
        const int seconds = match.captured(2).toInt(&ok);
        if (!ok) {
            return u"bad value %1 for --entry-page (use K=S, all=S, K=S:post)"_s.arg(value);
        }
        const int category = match.captured(1) == "all"_L1 ? -1 : match.captured(1).toInt();
        options.entryPages[category] = {seconds, match.hasCaptured(3) ? EntryPage::Method::Post
                                                                      : EntryPage::Method::Replace};
    }
    return {};
}

QString readLessonMedia(const QCommandLineParser& parser, SiteOptions& options)
{
    static const QRegularExpression form(u"^(\\d+)-(\\d+)=(.+)$"_s);
    for (const QString& value : parser.values(u"lesson-media"_s)) {
        const QRegularExpressionMatch match = form.match(value);
        const auto media =
            match.hasMatch() ? playerMediaFromName(match.captured(3).toStdString()) : std::nullopt;
        if (!media) {
            return u"bad value %1 for --lesson-media (use K-M=NAME)"_s.arg(value);
        }
        options.lessonMedia[{match.captured(1).toInt(), match.captured(2).toInt()}] = *media;
    }
    return {};
}

} // namespace

void addStudyOptions(QCommandLineParser& parser)
{
    for (const Option& option : kOptions) {
        const QString name = QString::fromLatin1(option.name);
        const QString help = QString::fromUtf8(option.help);
        parser.addOption(option.valueName
                             ? QCommandLineOption(name, help, QString::fromLatin1(option.valueName))
                             : QCommandLineOption(name, help));
    }
}

QString readNumbers(const QCommandLineParser& parser, std::span<const NumberOption> numbers)
{
    for (const NumberOption& n : numbers) {
        if (!parser.isSet(QLatin1StringView(n.name))) {
            continue;
        }
        bool ok = false;
        const double value = parser.value(QLatin1StringView(n.name)).toDouble(&ok);
        if (!ok || value < n.low || value > n.high || (n.whole && value != std::floor(value))) {
            return badValue(parser, n.name);
        }
        n.store(value);
    }
    return {};
}

QString readStudyOptions(const QCommandLineParser& parser, SiteOptions& options)
{
    const auto set = [&](const char* name) { return parser.isSet(QLatin1StringView(name)); };
    options.saveOnExitOnly = set("save-on-exit-only");
    options.recordPage.shown = !set("no-record");
    // Texts: UTF-8, not empty.
    for (const auto& [name, into] :
         {std::pair<const char*, std::string*>{"record-link-text", &options.recordPage.linkText},
          {"overlay-text", &options.overlayText},
          {"overlay-button", &options.overlayButton},
          {"refuse-logins-text", &options.refuseLoginsText}}) {
        if (set(name)) {
            if (parser.value(QLatin1StringView(name)).trimmed().isEmpty()) {
                return badValue(parser, name);
            }
            *into = parser.value(QLatin1StringView(name)).toStdString();
        }
    }
    // Numbers: name, range, whole number or not, where it goes.
    const NumberOption numbers[] = {
        {"progress-seconds", 1, 86400, true, [&](double v) { options.progressSeconds = int(v); }},
        {"daily-cap-minutes", 0, 1e6, true, [&](double v) { options.dailyCapMinutes = int(v); }},
        {"site-day-hours", 1e-4, 1e5, false, [&](double v) { options.siteDayHours = v; }},
        {"record-lag-minutes", 0, 1e6, true, [&](double v) { options.recordLagMinutes = int(v); }},
        {"refuse-logins-for", 0, 1e7, false,
         [&](double v) { options.refuseLoginsForMs = std::llround(v * 1000); }},
        {"preroll-seconds", 0, 86400, true, [&](double v) { options.prerollSeconds = int(v); }},
    };
    if (QString error = readNumbers(parser, numbers); !error.isEmpty()) {
        return error;
    }
    for (const QString& error :
         {readNamed(parser, "record-titles", options.recordPage.titles, recordTitlesFromName),
          readNamed(parser, "record-time-form", options.recordPage.timeForm,
                    recordTimeFormFromName),
          readNamed(parser, "player-start", options.playerStart, playerStartFromName),
          readEntryPages(parser, options), readLessonMedia(parser, options)}) {
        if (!error.isEmpty()) {
            return error;
        }
    }
    return {};
}

} // namespace lumora::site::cli
