#include "pages.h"

#include "catalogue.h"
#include "site_structure.h"

#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <initializer_list>
#include <utility>

namespace lumora::site::pages {

using namespace Qt::StringLiterals;

namespace {

namespace layout = structure;

const QString kSiteName = u"心理健康教育教师远程培训平台"_s;

// A page script for the document's head, so that the functions the page's links call exist
// before any link does.
QString headScript(const QString& name)
{
    return fill(u"head_script.html"_s, {{"SCRIPT", script(name)}});
}

QString frame(const QString& name, const QString& cssClass, const QString& src)
{
    return fill(u"frame.html"_s, {{"NAME", name}, {"CLASS", cssClass}, {"SRC", src}});
}

// A frame that only fills a position before the one a browser looks for.
QString fillerFrame(int index)
{
    return frame(u"filler%1"_s.arg(index), u"frame-filler"_s, u"/course/info?page=notice"_s);
}

QString link(const QString& href, const QString& text)
{
    return fill(u"link.html"_s, {{"HREF", href}, {"TEXT", text}});
}

// The course frame's ordinary links and menu items, used to fill the positions between
// the ones a browser looks for.
struct Item
{
    const char* page;
    const char* text;
};
constexpr std::array<Item, 2> kBarLinks = {
    {{"/course/welcome", "首页"}, {"/course/records", "学习记录"}}};
constexpr std::array<Item, 3> kCategoryCellLinks = {
    {{"practice", "在线练习"}, {"material", "参考资料"}, {"exam", "在线考试"}}};
constexpr std::array<Item, 4> kMenuItems = {{{"profile", "个人中心"},
                                             {"notice", "通知公告"},
                                             {"exam", "在线考试"},
                                             {"archive", "学习档案"}}};

constexpr bool increasing(const std::array<int, 4>& positions)
{
    for (std::size_t i = 1; i < positions.size(); ++i) {
        if (positions[i] <= positions[i - 1]) {
            return false;
        }
    }
    return true;
}

static_assert(layout::kCourseFrame >= 0 && layout::kCourseFrame <= 3);
static_assert(layout::kLessonFrame >= 0);
static_assert(layout::kCategoryLinks[0] >= 0 &&
              layout::kCategoryLinks[0] <= static_cast<int>(kBarLinks.size()));
static_assert(increasing(layout::kCategoryLinks));
static_assert(layout::kCourseMenuItem >= 0 &&
              layout::kCourseMenuItem <= static_cast<int>(kMenuItems.size()));
static_assert(layout::kLessonLinkStride >= 2 &&
              layout::kLessonLinkOffset >= layout::kLessonLinkStride - 1);

// The links of category cell `k` after its course link: as many as lie between it and the
// next category's course link (two after the last).
QString categoryCellLinks(int k)
{
    const std::size_t index = static_cast<std::size_t>(k);
    const int count = index + 1 < layout::kCategoryLinks.size()
                          ? layout::kCategoryLinks[index + 1] - layout::kCategoryLinks[index] - 1
                          : 2;
    QString links;
    for (int i = 0; i < count; ++i) {
        const Item& item =
            kCategoryCellLinks[static_cast<std::size_t>(i) % kCategoryCellLinks.size()];
        links += link(u"/course/info?page=%1&cat=%2"_s.arg(QLatin1StringView(item.page)).arg(k),
                      QString::fromUtf8(item.text));
    }
    return links;
}

} // namespace

QString fill(const QString& resource, Values values)
{
    static const QRegularExpression slot(uR"(\{\{\{([A-Z_]+)\}\}\}|\{\{([A-Z_]+)\}\})"_s);
    const QString text = QString::fromUtf8(pages::resource(resource));
    QString out;
    qsizetype done = 0;
    for (auto it = slot.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        out += text.sliced(done, match.capturedStart() - done);
        done = match.capturedEnd();
        const bool markup = match.hasCaptured(1);
        const QString name = match.captured(markup ? 1 : 2);
        const auto value = std::find_if(values.begin(), values.end(), [&](const auto& v) {
            return QLatin1StringView(v.first) == name;
        });
        if (value == values.end()) {
            qCritical("lumora-site: %s has no value for %s", qPrintable(resource),
                      qPrintable(name));
            continue;
        }
        out += markup ? value->second : value->second.toHtmlEscaped();
    }
    return out + text.sliced(done);
}

QString document(const QByteArray& charset, const QString& title, const QString& body,
                 const QString& bodyClass, const QString& head)
{
    return fill(u"document.html"_s,
                {{"CHARSET", charset == "UTF-8" ? u"utf-8"_s : QString::fromLatin1(charset)},
                 {"TITLE", title},
                 {"HEAD", head},
                 {"BODY_CLASS", bodyClass},
                 {"BODY", body}});
}

QString script(const QString& name)
{
    return QString::fromUtf8(pages::resource(name));
}

QByteArray resource(const QString& name)
{
    QFile file(u":/site/"_s + name);
    if (!file.open(QIODevice::ReadOnly)) {
        qCritical("lumora-site: no resource %s", qPrintable(name));
        return {};
    }
    return file.readAll();
}

QString simple(const QByteArray& charset, const QString& title, const QString& resource,
               const QString& bodyClass)
{
    return document(charset, title, fill(resource), bodyClass);
}

QString login(const QByteArray& charset, const QString& userName, const QString& error,
              bool codeHint)
{
    const QString hint = codeHint ? u"<p class=\"hint\">提示：验证码请输入 ok</p>\n"_s : QString();
    const QString errorBlock =
        error.isEmpty() ? QString() : fill(u"login_error.html"_s, {{"MESSAGE", error}});
    return document(
        charset, kSiteName + u" - 用户登录"_s,
        fill(u"login.html"_s,
             {{"SITE", kSiteName}, {"USER", userName}, {"ERROR", errorBlock}, {"HINT", hint}}),
        u"login"_s);
}

QString coursePage(const QByteArray& charset, const QString& user)
{
    QStringList frames = {frame(u"topFrame"_s, u"frame-header"_s, u"/course/frame/header"_s),
                          frame(u"noticeFrame"_s, u"frame-notice"_s, u"/course/frame/notice"_s),
                          frame(u"newsFrame"_s, u"frame-news"_s, u"/course/frame/news"_s)};
    frames.insert(layout::kCourseFrame,
                  frame(u"mainFrame"_s, u"frame-course"_s, u"/course/frame/course"_s));
    return document(charset, kSiteName + u" - 课程中心"_s,
                    fill(u"course.html"_s, {{"SITE", kSiteName},
                                            {"USER", user},
                                            {"FRAMES", frames.join(QString())},
                                            {"SCRIPT", script(u"course.js"_s)}}));
}

QString headerFrame(const QByteArray& charset, const QString& user, const RecordPage& record)
{
    const QString link = record.shown ? fill(u"record_link.html"_s,
                                             {{"TEXT", QString::fromStdString(record.linkText)}})
                                      : QString();
    return document(
        charset, u"页头"_s,
        fill(u"header.html"_s, {{"SITE", kSiteName}, {"USER", user}, {"RECORD_LINK", link}}),
        u"frame"_s);
}

QString courseFrame(const QByteArray& charset, int selected, const RecordPage& record)
{
    QString bar;
    for (int i = 0; i < layout::kCategoryLinks[0]; ++i) {
        const Item& item = kBarLinks[static_cast<std::size_t>(i)];
        const QLatin1StringView page(item.page);
        if (page != "/course/records"_L1) {
            bar += link(page, QString::fromUtf8(item.text));
        } else if (record.shown) {
            bar += link(page, QString::fromStdString(record.linkText));
        } else { // a site without a record page: an ordinary page holds the position
            bar += link(u"/course/info?page=notice"_s, u"通知公告"_s);
        }
    }
    QString cells;
    const int categories = static_cast<int>(catalogue().size());
    for (int k = 0; k < categories; ++k) {
        cells += fill(
            u"category_cell.html"_s,
            {{"K", QString::number(k)},
             {"NAME", categoryName(k)},
             {"COUNT", QString::number(catalogue()[static_cast<std::size_t>(k)].topics.size())},
             {"SELECTED", k == selected ? u" selected"_s : QString()},
             {"LINKS", categoryCellLinks(k)}});
    }
    QStringList menu;
    for (const Item& item : kMenuItems) {
        menu += fill(u"menu_item.html"_s, {{"PAGE", QLatin1StringView(item.page)},
                                           {"TEXT", QString::fromUtf8(item.text)}});
    }
    menu.insert(layout::kCourseMenuItem, fill(u"course_menu_item.html"_s));
    QString frames;
    for (int i = 0; i < layout::kLessonFrame; ++i) {
        frames += fillerFrame(i);
    }
    frames += frame(u"lessonFrame"_s, u"frame-lessons"_s, u"/course/welcome"_s);
    return document(charset, u"课程"_s,
                    fill(u"course_frame.html"_s, {{"BAR_LINKS", bar},
                                                  {"CELLS", cells},
                                                  {"MENU", menu.join(QString())},
                                                  {"FRAMES", frames}}),
                    u"frame"_s, headScript(u"course_frame.js"_s));
}

QString info(const QByteArray& charset, const QString& heading)
{
    return document(charset, heading, fill(u"info.html"_s, {{"HEADING", heading}}), u"frame"_s);
}

QString lessonList(const QByteArray& charset, int category, int listed, const QString& playerPath)
{
    // Each row's first cell holds the links before its lesson link: "简介", then fillers.
    QString extra;
    for (int i = 2; i < layout::kLessonLinkStride; ++i) {
        extra += link(u"/course/welcome"_s, u"首页"_s);
    }
    QString leading;
    for (int i = layout::kLessonLinkStride - 1; i < layout::kLessonLinkOffset; ++i) {
        leading += link(u"/course/welcome"_s, u"首页"_s);
    }
    QString rows;
    int count = 0;
    for (; hasLesson(category, count) && (listed < 0 || count < listed); ++count) {
        rows += fill(u"lesson_row.html"_s,
                     {{"K", QString::number(category)},
                      {"M", QString::number(count)},
                      {"PLAYER_PATH", playerPath},
                      {"EXTRA_LINKS", extra},
                      {"TITLE", lessonTitle(category, count)},
                      {"MINUTES", QString::number(lessonMinutes(category, count))}});
    }
    return document(charset, categoryName(category) + u" - 课程列表"_s,
                    fill(u"lessons.html"_s, {{"LEADING_LINKS", leading},
                                             {"K", QString::number(category)},
                                             {"NAME", categoryName(category)},
                                             {"COUNT", QString::number(count)},
                                             {"ROWS", rows}}),
                    u"frame"_s, headScript(u"lessons.js"_s));
}

QString lessonIntro(const QByteArray& charset, int category, int lesson)
{
    return document(
        charset, lessonTitle(category, lesson),
        fill(u"intro.html"_s, {{"TITLE", lessonTitle(category, lesson)},
                               {"NAME", categoryName(category)},
                               {"MINUTES", QString::number(lessonMinutes(category, lesson))},
                               {"K", QString::number(category)}}),
        u"frame"_s);
}

QString popupTarget(const QByteArray& charset, const QString& via)
{
    return document(charset, u"弹出窗口"_s, fill(u"popup_target.html"_s, {{"VIA", via}}));
}

QString error(const QByteArray& charset, int status, const QString& message)
{
    return document(
        charset, u"%1 %2"_s.arg(status).arg(message),
        fill(u"error.html"_s, {{"STATUS", QString::number(status)}, {"MESSAGE", message}}));
}

QString sessionTimeout(const QByteArray& charset)
{
    return simple(charset, u"会话已超时"_s, u"session_timeout.html"_s);
}

QString maintenance(const QByteArray& charset)
{
    return simple(charset, u"系统维护中"_s, u"maintenance.html"_s);
}

QString admin(const std::vector<RecordedEvent>& events,
              const std::map<QString, std::map<QString, qint64>>& studyMs)
{
    QString study;
    for (const auto& [user, lessons] : studyMs) {
        for (const auto& [key, ms] : lessons) {
            study += fill(u"admin_study_row.html"_s,
                          {{"USER", user}, {"KEY", key}, {"SECONDS", QString::number(ms / 1000)}});
        }
    }
    if (study.isEmpty()) {
        study = fill(u"admin_empty.html"_s);
    }
    QString rows;
    constexpr std::size_t kShown = 300;
    std::size_t shown = 0;
    for (auto it = events.rbegin(); it != events.rend() && shown < kShown; ++it, ++shown) {
        rows += fill(u"admin_event_row.html"_s, {{"SEQ", QString::number(it->seq)},
                                                 {"KIND", it->kind},
                                                 {"USER", it->user},
                                                 {"JSON", QString::fromUtf8(it->json)}});
    }
    return document(
        "UTF-8", u"lumora-site record"_s,
        fill(u"admin.html"_s,
             {{"COUNT", QString::number(events.size())}, {"STUDY", study}, {"ROWS", rows}}),
        {}, fill(u"admin_head.html"_s));
}

} // namespace lumora::site::pages
