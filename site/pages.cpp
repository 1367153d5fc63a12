#include "pages.h"

#include "catalogue.h"
#include "text_codec.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

namespace lumora::site::pages {

namespace {

constexpr std::string_view kSiteName = "心理健康教育教师远程培训平台";

// Replaces every "{{NAME}}" in `text` by its value.
std::string fill(std::string text,
                 std::initializer_list<std::pair<std::string_view, std::string>> values)
{
    for (const auto& [name, value] : values) {
        const std::string marker = "{{" + std::string(name) + "}}";
        std::size_t at = 0;
        while ((at = text.find(marker, at)) != std::string::npos) {
            text.replace(at, marker.size(), value);
            at += value.size();
        }
    }
    return text;
}

std::string metaCharset(const std::string& charset)
{
    return charset == "UTF-8" ? "utf-8" : charset;
}

std::string document(const std::string& charset, std::string_view title, std::string_view head,
                     std::string_view body, std::string_view bodyClass = "")
{
    std::string out = "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"" +
                      metaCharset(charset) + "\">\n<title>" + htmlEscape(title) +
                      "</title>\n<link rel=\"stylesheet\" href=\"/css/site.css\">\n";
    out += head;
    out += "</head>\n<body";
    if (!bodyClass.empty()) {
        out += " class=\"" + std::string(bodyClass) + "\"";
    }
    out += ">\n";
    out += body;
    out += "\n</body>\n</html>\n";
    return out;
}

// A JavaScript string literal that is safe inside a <script> element.
std::string jsString(std::string_view text)
{
    std::string out;
    for (char c : jsonString(sanitizeUtf8(text))) {
        if (c == '<') {
            out += "\\u003c";
        } else {
            out += c;
        }
    }
    return out;
}

std::string categoryName(int category)
{
    return std::string(catalogue()[static_cast<std::size_t>(category)].name);
}

} // namespace

std::string login(const std::string& charset, const std::string& userName, const std::string& error)
{
    const std::string errorBlock =
        error.empty() ? std::string()
                      : "<p class=\"error\" id=\"loginError\">" + htmlEscape(error) + "</p>\n";
    return document(charset, std::string(kSiteName) + " - 用户登录", "",
                    fill(R"HTML(<div class="login-box">
<h1>{{SITE}}</h1>
<h2>用户登录</h2>
<form name="loginForm" method="post" action="/permission/loginAction.do?method=login">
<table class="login-fields">
<tr><td>用户名：</td><td><input type="text" name="userName" value="{{USER}}" maxlength="40"></td></tr>
<tr><td>密　码：</td><td><input type="password" name="Password" maxlength="40"></td></tr>
<tr><td>验证码：</td><td><input type="text" name="randomCode" size="6" maxlength="8">
<img class="code" src="/permission/randomCode.do" alt="验证码" width="64" height="24"></td></tr>
</table>
<p class="hint">提示：验证码请输入 ok</p>
{{ERROR}}<p class="submit"><input type="image" src="/images/login.svg" alt="登录" width="120" height="36"></p>
</form>
<p class="demo">演示帐号：demo　密码：demo123</p>
</div>)HTML",
                         {{"SITE", std::string(kSiteName)},
                          {"USER", htmlEscape(userName)},
                          {"ERROR", errorBlock}}),
                    "login");
}

std::string coursePage(const std::string& charset, const std::string& user)
{
    return document(charset, std::string(kSiteName) + " - 课程中心", "",
                    fill(R"HTML(<div class="topbar">
<span class="brand">{{SITE}} · 课程中心</span>
<span class="who">学员：{{USER}}</span>
<span id="visits">本机访问次数：-</span>
<input type="button" id="exitCourse" value="退出课件" onclick="exitCourse()">
<span id="exitStatus"></span>
</div>
<iframe name="topFrame" class="frame-header" src="/course/frame/header"></iframe>
<div class="frame-row">
<iframe name="noticeFrame" class="frame-notice" src="/course/frame/notice"></iframe>
<iframe name="newsFrame" class="frame-news" src="/course/frame/news"></iframe>
</div>
<iframe name="mainFrame" class="frame-course" src="/course/frame/course"></iframe>
<script>
(function () {
  var count = parseInt(localStorage.getItem('visitCount') || '0', 10);
  if (isNaN(count)) { count = 0; }
  count += 1;
  localStorage.setItem('visitCount', String(count));
  document.getElementById('visits').textContent = '本机访问次数：' + count;
})();
function exitCourse() {
  var status = document.getElementById('exitStatus');
  fetch('/course/exit', { method: 'POST', credentials: 'same-origin', cache: 'no-store' })
    .then(function (r) { return r.json(); })
    .then(function (j) { status.textContent = j.ok ? '已退出课件' : '退出失败'; })
    .catch(function () { status.textContent = '退出失败'; });
}
</script>)HTML",
                         {{"SITE", std::string(kSiteName)}, {"USER", htmlEscape(user)}}));
}

std::string headerFrame(const std::string& charset, const std::string& user)
{
    return document(charset, "页头", "",
                    fill(R"HTML(<div class="header">
<span class="brand">{{SITE}}</span>
<span class="who">欢迎您，{{USER}}</span>
<a href="/permission/loginAction.do?method=logout" target="_top">退出登录</a>
</div>)HTML",
                         {{"SITE", std::string(kSiteName)}, {"USER", htmlEscape(user)}}),
                    "frame");
}

std::string noticeFrame(const std::string& charset)
{
    return document(charset, "通知公告", "", R"HTML(<div class="box">
<h3>通知公告</h3>
<ul class="plain">
<li>本期培训将于月底结束，请合理安排学习时间。</li>
<li>学习时长以课件播放页面实际打开时间为准。</li>
<li>观看课件结束后请点击“退出课件”。</li>
</ul>
</div>)HTML",
                    "frame");
}

std::string newsFrame(const std::string& charset)
{
    return document(charset, "培训动态", "", R"HTML(<div class="box">
<h3>培训动态</h3>
<ul class="plain">
<li>新增“学校教育”类课程八门。</li>
<li>平台将于周日凌晨进行例行维护。</li>
</ul>
</div>)HTML",
                    "frame");
}

std::string courseFrame(const std::string& charset, int selected)
{
    // The order of links matters to visitors that count them: two navigation links, then per
    // category its course link followed by two other links, so the course links are the 3rd,
    // 6th, 9th and 12th links of the document.
    std::string cells;
    const auto& categories = catalogue();
    for (std::size_t k = 0; k < categories.size(); ++k) {
        const std::string index = std::to_string(k);
        cells += fill(R"HTML(<td class="cat{{SEL}}" id="cat{{K}}">
<div class="cat-name">{{NAME}}（{{COUNT}}课）</div>
<a href="#" class="catlink" onclick="return selectCategory({{K}})">{{NAME}}学习课程</a>
<a href="/course/info?page=practice&amp;cat={{K}}" target="lessonFrame">在线练习</a>
<a href="/course/info?page=material&amp;cat={{K}}" target="lessonFrame">参考资料</a>
</td>
)HTML",
                      {{"K", index},
                       {"NAME", std::string(categories[k].name)},
                       {"COUNT", std::to_string(categories[k].topics.size())},
                       {"SEL", static_cast<int>(k) == selected ? " selected" : ""}});
    }
    return document(charset, "课程", R"HTML(<script>
var pendingSelection = Promise.resolve();
function selectCategory(k) {
  var cells = document.querySelectorAll('td.cat');
  for (var i = 0; i < cells.length; i++) {
    cells[i].className = i === k ? 'cat selected' : 'cat';
  }
  pendingSelection = fetch('/course/select?cat=' + k,
                           { method: 'POST', credentials: 'same-origin', cache: 'no-store' })
    .catch(function () {});
  return false;
}
function showLessons() {
  pendingSelection.then(function () {
    document.getElementById('lessonFrame').src = '/course/lessons?t=' + Date.now();
  });
}
function showInfo(page) {
  document.getElementById('lessonFrame').src = '/course/info?page=' + page;
}
</script>
)HTML",
                    fill(R"HTML(<div class="bar">
<a href="/course/welcome" target="lessonFrame">首页</a>
<a href="/course/records" target="lessonFrame">学习记录</a>
</div>
<table class="categories"><tr>
{{CELLS}}</tr></table>
<div class="main">
<ul class="menu">
<li onclick="showInfo('profile')">个人中心</li>
<li onclick="showInfo('notice')">通知公告</li>
<li id="courseMenu" onclick="showLessons()">课程学习</li>
<li onclick="showInfo('exam')">在线考试</li>
<li onclick="showInfo('archive')">学习档案</li>
</ul>
<iframe name="lessonFrame" id="lessonFrame" class="frame-lessons" src="/course/welcome"></iframe>
</div>)HTML",
                         {{"CELLS", cells}}),
                    "frame");
}

std::string welcome(const std::string& charset)
{
    return document(charset, "欢迎", "", R"HTML(<div class="box">
<h3>欢迎进入课程中心</h3>
<p>请先在上方选择课程类别的“学习课程”，再点击左侧菜单中的“课程学习”查看课程列表。</p>
</div>)HTML",
                    "frame");
}

std::string info(const std::string& charset, const std::string& heading)
{
    return document(charset, heading, "",
                    "<div class=\"box\">\n<h3>" + htmlEscape(heading) +
                        "</h3>\n<p>本栏目暂未开放。</p>\n</div>",
                    "frame");
}

std::string records(const std::string& charset, const std::string& user,
                    const std::map<std::string, std::int64_t>& lessonMs)
{
    std::string rows;
    const auto& categories = catalogue();
    for (std::size_t c = 0; c < categories.size(); ++c) {
        for (std::size_t l = 0; l < categories[c].topics.size(); ++l) {
            const auto it = lessonMs.find(std::to_string(c) + "-" + std::to_string(l));
            if (it == lessonMs.end()) {
                continue;
            }
            rows += "<tr><td>" + categoryName(static_cast<int>(c)) + "</td><td>" +
                    htmlEscape(lessonTitle(static_cast<int>(c), static_cast<int>(l))) +
                    "</td><td>" + std::to_string(it->second / 1000) + " 秒</td></tr>\n";
        }
    }
    if (rows.empty()) {
        rows = "<tr><td colspan=\"3\">暂无学习记录</td></tr>\n";
    }
    return document(charset, "学习记录", "",
                    "<div class=\"box\">\n<h3>" + htmlEscape(user) +
                        " 的学习记录</h3>\n<table class=\"grid\">\n<tr><th>类别</th><th>课程</"
                        "th><th>学习时长</th></tr>\n" +
                        rows + "</table>\n</div>",
                    "frame");
}

std::string lessonList(const std::string& charset, int category)
{
    const auto& topics = catalogue()[static_cast<std::size_t>(category)].topics;
    std::string rows;
    for (std::size_t i = 0; i < topics.size(); ++i) {
        const int lesson = static_cast<int>(i);
        const std::string query =
            "cat=" + std::to_string(category) + "&amp;lesson=" + std::to_string(lesson);
        rows += fill(R"HTML(<tr><td><a href="/course/intro?{{Q}}">简介</a></td>
<td><a href="javascript:void(0)" onclick="openMax('/player/play?{{Q}}')">{{TITLE}}</a></td>
<td>{{MIN}} 分钟</td></tr>
)HTML",
                     {{"Q", query},
                      {"TITLE", htmlEscape(lessonTitle(category, lesson))},
                      {"MIN", std::to_string(lessonMinutes(category, lesson))}});
    }
    return document(charset, categoryName(category) + " - 课程列表", R"HTML(<script>
function openMax(url) {
  var features = 'left=0,top=0,width=' + screen.availWidth + ',height=' + screen.availHeight +
                 ',resizable=yes,scrollbars=no,status=no';
  var w = window.open(url, 'coursePlayer', features);
  if (w) { w.focus(); }
}
</script>
)HTML",
                    fill(R"HTML(<div class="box">
<h3 id="category" data-category="{{K}}">{{NAME}}课程列表（共{{COUNT}}课）</h3>
<table class="grid lessons">
<tr><th>简介</th><th>课程名称</th><th>时长</th></tr>
{{ROWS}}</table>
</div>)HTML",
                         {{"K", std::to_string(category)},
                          {"NAME", categoryName(category)},
                          {"COUNT", std::to_string(topics.size())},
                          {"ROWS", rows}}),
                    "frame");
}

std::string lessonIntro(const std::string& charset, int category, int lesson)
{
    return document(charset, lessonTitle(category, lesson), "",
                    fill(R"HTML(<div class="box">
<h3>{{TITLE}}</h3>
<p>所属类别：{{NAME}}。本课时长约 {{MIN}} 分钟，请在课件播放页面完整观看。</p>
<p><a href="/course/lessons?cat={{K}}">返回课程列表</a></p>
</div>)HTML",
                         {{"TITLE", htmlEscape(lessonTitle(category, lesson))},
                          {"NAME", categoryName(category)},
                          {"MIN", std::to_string(lessonMinutes(category, lesson))},
                          {"K", std::to_string(category)}}),
                    "frame");
}

std::string player(const std::string& charset, int category, int lesson,
                   const std::string& playerId, int heartbeatMs)
{
    const std::string title = lessonTitle(category, lesson);
    return document(charset, title + " - 课件播放", "",
                    fill(R"HTML(<div class="player">
<h2 id="lessonTitle">{{TITLE_HTML}}</h2>
<canvas id="screen" width="800" height="450"></canvas>
<p class="status"><span id="state">正在播放</span>　<span id="studied">已记录学习时长：0 秒</span></p>
</div>
<script>
var CATEGORY = {{CAT}};
var LESSON = {{LESSON}};
var PLAYER = {{PLAYER}};
var HEARTBEAT_MS = {{HB}};
var TITLE = {{TITLE_JS}};
var stopped = false;
var started = performance.now();

function clockText(seconds) {
  var m = Math.floor(seconds / 60), s = Math.floor(seconds % 60);
  return (m < 10 ? '0' : '') + m + ':' + (s < 10 ? '0' : '') + s;
}

function draw(now) {
  var canvas = document.getElementById('screen');
  var ctx = canvas.getContext('2d');
  var w = canvas.width, h = canvas.height, t = (now - started) / 1000;
  var sky = ctx.createLinearGradient(0, 0, w, h);
  sky.addColorStop(0, 'hsl(' + ((t * 12) % 360) + ', 55%, 32%)');
  sky.addColorStop(1, 'hsl(' + ((t * 12 + 140) % 360) + ', 55%, 22%)');
  ctx.fillStyle = sky;
  ctx.fillRect(0, 0, w, h);
  for (var i = 0; i < 6; i++) {
    var x = w / 2 + Math.cos(t * (0.6 + i * 0.17) + i) * w * 0.36;
    var y = h / 2 + Math.sin(t * (0.9 + i * 0.13) + i * 2) * h * 0.32;
    ctx.beginPath();
    ctx.arc(x, y, 16 + i * 5, 0, Math.PI * 2);
    ctx.fillStyle = 'rgba(255, 255, 255, ' + (0.12 + i * 0.06) + ')';
    ctx.fill();
  }
  ctx.fillStyle = '#fff';
  ctx.textAlign = 'center';
  ctx.font = '30px sans-serif';
  ctx.fillText(TITLE, w / 2, h / 2);
  ctx.font = '16px sans-serif';
  ctx.fillText(stopped ? '课件已退出' : '播放中 ' + clockText(t), w / 2, h - 26);
  ctx.fillStyle = 'rgba(255, 255, 255, 0.8)';
  ctx.fillRect(0, h - 6, w * ((t % 60) / 60), 6);
  if (!stopped) { requestAnimationFrame(draw); }
}
requestAnimationFrame(draw);

function stop(text) {
  stopped = true;
  clearInterval(timer);
  document.getElementById('state').textContent = text;
}

function heartbeat() {
  var url = '/player/heartbeat?cat=' + CATEGORY + '&lesson=' + LESSON + '&player=' + PLAYER;
  fetch(url, { method: 'POST', credentials: 'same-origin', cache: 'no-store' })
    .then(function (r) { return r.json(); })
    .then(function (j) {
      if (j.ended) { stop('课件已退出'); return; }
      if (j.ok) {
        document.getElementById('studied').textContent = '已记录学习时长：' + j.seconds + ' 秒';
      }
    })
    .catch(function () {});
}
var timer = setInterval(heartbeat, HEARTBEAT_MS);

window.addEventListener('pagehide', function () {
  navigator.sendBeacon('/player/close?player=' + PLAYER);
});
</script>)HTML",
                         {{"TITLE_HTML", htmlEscape(title)},
                          {"TITLE_JS", jsString(title)},
                          {"CAT", std::to_string(category)},
                          {"LESSON", std::to_string(lesson)},
                          {"PLAYER", jsString(playerId)},
                          {"HB", std::to_string(heartbeatMs)}}),
                    "player-page");
}

std::string closeSelf(const std::string& charset)
{
    return document(charset, "自动关闭", "", R"HTML(<p id="message">本窗口即将自动关闭。</p>
<script>setTimeout(() => window.close(), 50);</script>)HTML");
}

std::string blankLink(const std::string& charset)
{
    return document(charset, "新窗口链接", "", R"HTML(<p>
<a id="blank" target="_blank" href="/test/popup-target?via=blank">在新窗口打开</a>
</p>
<p>
<button id="scripted" type="button" onclick="window.open('/test/popup-target?via=script')">用脚本打开新窗口</button>
</p>)HTML");
}

std::string popupTarget(const std::string& charset, const std::string& via)
{
    return document(charset, "弹出窗口", "",
                    "<p>弹出窗口，打开方式：<span id=\"via\">" + htmlEscape(via) + "</span></p>");
}

std::string alertPage(const std::string& charset)
{
    return document(charset, "对话框", "", R"HTML(<script>
alert('这是一个提示框');
var answer = confirm('确定要继续吗？');
document.title = '对话框 ' + (answer ? '确定' : '取消');
</script>
<script>
throw new Error('脚本错误：测试用');
</script>
<p id="after">页面仍然可用</p>)HTML");
}

std::string error(const std::string& charset, int status, const std::string& message)
{
    return document(
        charset, std::to_string(status) + " " + message, "",
        "<div class=\"box\">\n<h3>" + std::to_string(status) + " " + htmlEscape(message) +
            "</h3>\n<p><a href=\"/permission/loginAction.do?method=init\">返回首页</a></"
            "p>\n</div>");
}

std::string admin(const std::vector<RecordedEvent>& events,
                  const std::map<std::string, std::map<std::string, std::int64_t>>& studyMs)
{
    std::string study;
    for (const auto& [user, lessons] : studyMs) {
        for (const auto& [key, ms] : lessons) {
            study += "<tr><td>" + htmlEscape(user) + "</td><td>" + htmlEscape(key) + "</td><td>" +
                     std::to_string(ms / 1000) + "</td></tr>\n";
        }
    }
    if (study.empty()) {
        study = "<tr><td colspan=\"3\">none yet</td></tr>\n";
    }
    std::string rows;
    constexpr std::size_t kShown = 300;
    std::size_t shown = 0;
    for (auto it = events.rbegin(); it != events.rend() && shown < kShown; ++it, ++shown) {
        rows += "<tr><td>" + std::to_string(it->seq) + "</td><td>" + htmlEscape(it->kind) +
                "</td><td>" + htmlEscape(it->user) + "</td><td><code>" + htmlEscape(it->json) +
                "</code></td></tr>\n";
    }
    return document(
        "UTF-8", "lumora-site record", "<meta http-equiv=\"refresh\" content=\"2\">\n",
        fill(R"HTML(<div class="box">
<h2>lumora-site record</h2>
<p>{{COUNT}} events; newest first. JSON: <a href="/_site/events">/_site/events</a>.</p>
<h3>Study seconds</h3>
<table class="grid"><tr><th>user</th><th>category-lesson</th><th>seconds</th></tr>
{{STUDY}}</table>
<h3>Events</h3>
<table class="grid"><tr><th>seq</th><th>kind</th><th>user</th><th>event</th></tr>
{{ROWS}}</table>
</div>)HTML",
             {{"COUNT", std::to_string(events.size())}, {"STUDY", study}, {"ROWS", rows}}));
}

std::string styleSheet()
{
    return R"CSS(body { font-family: sans-serif; font-size: 14px; margin: 0; color: #222; background: #eef2f6; }
body.frame { background: #fff; }
body.login { background: #2f5d8a; }
.login-box { width: 420px; margin: 80px auto; padding: 24px 32px; background: #fff; border-radius: 6px; }
.login-box h1 { font-size: 20px; color: #2f5d8a; }
.login-fields td { padding: 4px; }
.code { vertical-align: middle; border: 1px solid #ccc; }
.hint, .demo { color: #666; font-size: 12px; }
.error { color: #c00; font-weight: bold; }
.topbar { background: #2f5d8a; color: #fff; padding: 6px 12px; }
.topbar span { margin-right: 16px; }
iframe { border: 1px solid #cdd6e0; background: #fff; display: block; box-sizing: border-box; }
.frame-header { width: 100%; height: 44px; }
.frame-row { display: flex; }
.frame-notice, .frame-news { flex: 1; height: 124px; }
.frame-course { width: 100%; height: 640px; }
.header { padding: 10px; } .header span { margin-right: 20px; }
.box { padding: 8px 14px; }
.bar a { margin-right: 12px; }
.bar { padding: 6px 10px; background: #f3f6fa; }
.categories td { padding: 6px 10px; border: 1px solid #dde3ea; vertical-align: top; }
.categories td.selected { background: #ffeeba; }
.categories a { display: block; margin: 2px 0; }
.cat-name { font-weight: bold; }
.main { display: flex; }
.menu { list-style: none; margin: 0; padding: 0; width: 120px; }
.menu li { padding: 8px; border-bottom: 1px solid #dde3ea; cursor: pointer; }
.frame-lessons { flex: 1; height: 460px; }
.grid { border-collapse: collapse; }
.grid td, .grid th { border: 1px solid #dde3ea; padding: 3px 8px; }
.player { text-align: center; padding: 10px; }
canvas { background: #000; max-width: 100%; }
ul.plain { margin: 0; padding-left: 18px; }
)CSS";
}

std::string loginButtonSvg()
{
    return R"SVG(<svg xmlns="http://www.w3.org/2000/svg" width="120" height="36" viewBox="0 0 120 36">
<rect x="1" y="1" width="118" height="34" rx="6" fill="#3a7bd5" stroke="#2a5ea8"/>
<text x="60" y="24" font-size="16" font-family="sans-serif" fill="#fff" text-anchor="middle">登 录</text>
</svg>
)SVG";
}

std::string randomCodeSvg()
{
    return R"SVG(<svg xmlns="http://www.w3.org/2000/svg" width="64" height="24" viewBox="0 0 64 24">
<rect width="64" height="24" fill="#f4f1e8"/>
<path d="M2 18 L20 6 L40 20 L62 4" stroke="#c9b98a" fill="none"/>
<text x="32" y="18" font-size="16" font-family="monospace" fill="#7a3b10" text-anchor="middle">ok</text>
</svg>
)SVG";
}

} // namespace lumora::site::pages
