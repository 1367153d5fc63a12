// Reading a training site's study-record page from its HTML: the times, the column of studied
// time, the rows, the next page and links found by their text.

#include "fake_browser.h"
#include "page/record_fetch.h"
#include "page/study_record.h"

#include <QTest>

using namespace lumora::page;

static const QUrl kBase("http://training.example/record/list.do?page=1");

// "-" for no seconds, else the seconds, joined by "|".
static QString secondsOf(const RecordPage& page)
{
    QStringList all;
    for (const RecordRow& row : page.rows)
        all << (row.seconds ? QString::number(*row.seconds) : "-");
    return all.join('|');
}

class StudyRecordTest : public QObject
{
    Q_OBJECT
private slots:
    void studyTime_theFormsSitesWrite_data();
    void studyTime_theFormsSitesWrite();
    void timeColumn_byHeaderElseTheOneWithUnits_data();
    void timeColumn_byHeaderElseTheOneWithUnits();
    void rows_innermostCellsAsShown_layoutAndPagerLeftOut();
    void titles_spacesAndFullWidthFolded();
    void nextPage_usableLinksOnly_data();
    void nextPage_usableLinksOnly();
    void linkTo_hrefOrOnclick_byNormalizedText_data();
    void linkTo_hrefOrOnclick_byNormalizedText();
    void fetch_pageByPage_untilTheLastOrAFailure_data();
    void fetch_pageByPage_untilTheLastOrAFailure();
};

// Each row: the text, what bare numbers count, minutes per 学时 (0: not set), the seconds (-1:
// nothing).
void StudyRecordTest::studyTime_theFormsSitesWrite_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<BareNumberUnit>("bare");
    QTest::addColumn<double>("xueshi");
    QTest::addColumn<int>("seconds");
    using U = BareNumberUnit;
    const std::tuple<const char*, U, double, int> cases[] = {
        {"1小时5分3秒", U::None, 0, 3903},
        {"1小时5分钟", U::None, 0, 3900},
        {"5分3秒", U::None, 0, 303},
        {" 45秒 ", U::None, 0, 45},
        {"35分钟", U::None, 0, 2100},
        {"35 分", U::None, 0, 2100},
        {"12.5分钟", U::None, 0, 750},
        {"1.5小时", U::None, 0, 5400},
        {"1:02:03", U::None, 0, 3723},
        {"75:03", U::None, 0, 4503},
        {"１２：３０", U::None, 0, 750},
        {"３５分钟", U::None, 0, 2100},
        {"2学时", U::None, 45, 5400},
        {"1.5 学时", U::None, 40, 3600},
        {"0", U::None, 0, 0},
        {"120", U::Seconds, 0, 120},
        {"35", U::Minutes, 0, 2100},
        {"2", U::Xueshi, 45, 5400},
        {"0:00", U::None, 0, 0},
        // Refused: no time, never zero.
        {"1小时5.5分", U::None, 0, -1},
        {"1:75:00", U::None, 0, -1},
        {"75:3", U::None, 0, -1},
        {"2学时", U::None, 0, -1},
        {"2", U::Xueshi, 0, -1},
        {"120", U::None, 0, -1},
        {"--", U::None, 0, -1},
        {"", U::None, 0, -1},
        {"2026-12-09 10:15:00", U::Seconds, 0, -1},
        {"2026-12-09", U::None, 0, -1},
        {"100%", U::Minutes, 0, -1},
        {"-5分", U::None, 0, -1},
        {"99999999小时", U::None, 0, -1},
    };
    for (const auto& [text, bare, xueshi, seconds] : cases)
        QTest::newRow(text) << QString(text) << bare << xueshi << seconds;
    QTest::newRow("then more") << "35分钟" + QString(300, ' ') + "已完成" << U::None << 0.0 << -1;
    QTest::newRow("padded to 192") << "35分钟" + QString(188, ' ') << U::None << 0.0 << 2100;
}

void StudyRecordTest::studyTime_theFormsSitesWrite()
{
    QFETCH(QString, text);
    QFETCH(BareNumberUnit, bare);
    QFETCH(double, xueshi);
    const RecordReading reading{xueshi > 0 ? std::optional<double>(xueshi) : std::nullopt};
    const std::optional<int> seconds = parseStudyTime(text, reading, bare);
    QTEST(seconds.value_or(-1), "seconds");
}

// Each row: the header ("td:" first: a row of <td> cells; empty: none), the lessons' rows, and
// the seconds read ("" when there is no time column).
void StudyRecordTest::timeColumn_byHeaderElseTheOneWithUnits_data()
{
    QTest::addColumn<QString>("header");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("seconds");
    const auto row = [](const char* name, const char* header, const QStringList& rows,
                        const char* seconds) { QTest::newRow(name) << header << rows << seconds; };
    row("studied, not required nor last", "课程名称|要求时长|学习时长|最后学习时间",
        {"第1课|45分钟|30分钟|10:15", "第2课|45分钟|--|"}, "1800|-");
    row("the more telling word first", "课程|时长|已学时长|视频时长", {"第1课|45:00|20:00|45:00"},
        "1200");
    row("a named column of no times passes", "课程|学习时长|累计时长",
        {"第1课|已完成|30分钟", "第2课|未完成|1:00:00"}, "1800|3600");
    row("the time first", "学习时长|课程", {"30分钟|第1课"}, "1800");
    row("seconds by the header", "课程|学习时长（秒）", {"第1课|125", "第2课|0"}, "125|0");
    row("minutes by the header", "td:序号|课程名称|观看时长(分钟)", {"1|第1课|35"}, "2100");
    row("an unreadable row keeps its place", "课程|学习时长",
        {"第1课|30分钟", "第2课|100%", "第3课|20分钟"}, "1800|-|1200");
    row("a named column mostly no times", "课程|学习时长|状态",
        {"第1课|30分钟|完成", "第2课|已完成|完成", "第3课|未开始|完成"}, "");
    row("bare numbers, no unit said", "课程|学习时长", {"第1课|35", "第2课|40"}, "");
    row("no header: the one column with units", "", {"第1课|30分钟|完成", "第2课|1:05:00|-"},
        "1800|3900");
    row("no header: two such columns", "", {"第1课|30分钟|45分钟"}, "");
    row("only other times named", "课程|要求时长|最后学习时间", {"第1课|45分钟|10:15"}, "");
    // A record with nothing studied yet is a record all the same, its one row no lesson's.
    row("nothing studied yet", "序号|课程名称|学习时长", {"暂无学习记录"}, "-");
}

void StudyRecordTest::timeColumn_byHeaderElseTheOneWithUnits()
{
    QFETCH(QString, header);
    QFETCH(QStringList, rows);
    const auto tableRow = [](QString cells, const QString& cell) {
        const QString open = '<' + cell + '>', close = "</" + cell + '>';
        return "<tr>" + open + cells.replace('|', close + open) + close + "</tr>\n";
    };
    QString html = "<table>";
    if (!header.isEmpty())
        html += header.startsWith("td:") ? tableRow(header.mid(3), "td") : tableRow(header, "th");
    for (const QString& cells : rows)
        html += tableRow(cells, "td");
    const RecordPage page = parseRecordPage(html + "</table>", kBase, {});
    QCOMPARE(page.rows.size(), rows.size());
    for (qsizetype i = 0; i < rows.size(); ++i)
        QCOMPARE(page.rows[i].text, rows[i].split('|').join(" | "));
    QTEST(page.hasTimeColumn ? secondsOf(page) : QString(), "seconds");
    QVERIFY(page.hasTimeColumn || secondsOf(page).remove('|').count('-') == rows.size());
}

void StudyRecordTest::rows_innermostCellsAsShown_layoutAndPagerLeftOut()
{
    const QString html = R"(<html><head><style>td { color: red }</style>
<script>document.write("<table><tr><td>第9课</td><td>9分钟</td></tr></table>");</script></head>
<body><table class="layout"><tr><td>我的学时</td></tr><tr><td>
  <TABLE id=records><caption>课程学习记录</caption>
    <tr><th colspan=3>2026年 第1期</th></tr>
    <tr class=head><td>课程名称</td><td>学习时长</td><td>状态</td></tr>
    <!-- <tr><td>第8课</td><td>8分钟</td><td>隐藏</td></tr> -->
    <tr><td>第１课&#12288;心理辅导<br>概论</td><td>&nbsp;1小时5分&nbsp;</td><td>已完成</td></tr>
    <tr><td>第2课 &amp; 复习&#x3000;</td><td>--</td><td><span>学习&lt;中&gt;</span></td></tr>
    <tr><td></td><td> </td></tr>
    <tr><td>第3课 &nbsp;<td>00:45<td>学习中
  </TABLE>
</td></tr></table>
<table><tr><td>共2页</td><td><a href="list.do?page=2">下一页</a></td></tr></table>
<a href='x)";
    const RecordPage page = parseRecordPage(html, kBase, {});
    QVERIFY(page.hasTimeColumn);
    QStringList texts;
    for (const RecordRow& row : page.rows)
        texts << row.text;
    QCOMPARE(texts, (QStringList{"第１课 心理辅导 概论 | 1小时5分 | 已完成",
                                 "第2课 & 复习 | -- | 学习<中>", "第3课 | 00:45 | 学习中"}));
    QCOMPARE(secondsOf(page), "3900|-|45");
    QCOMPARE(page.nextPage, QUrl("http://training.example/record/list.do?page=2"));
    // No time column anywhere: a row holding a table is still no lesson.
    const RecordPage untimed = parseRecordPage(
        "<table><tr><td>第一期<table><tr><td>第1课<td>已完成</table></td></tr></table>", kBase, {});
    QVERIFY(!untimed.hasTimeColumn && untimed.rows.size() == 1);
    QCOMPARE(untimed.rows[0].cells, (QStringList{"第1课", "已完成"}));
}

void StudyRecordTest::titles_spacesAndFullWidthFolded()
{
    const std::pair<QString, QString> same[] = {
        {"第１课　心理辅导概论", "第1课 心理辅导概论"},
        {" 第1课\t心理\u200B辅导 概论\u00A0", "第1课心理辅导概论"},
        {"ＡＢＣ 课程（一）", "abc课程(一)"},
    };
    for (const auto& [a, b] : same)
        QCOMPARE(normalizedTitle(a), normalizedTitle(b));
    QVERIFY(normalizedTitle("第1课 心理辅导") != normalizedTitle("第11课 心理辅导"));
}

void StudyRecordTest::nextPage_usableLinksOnly_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("next");
    const QString site = "http://training.example/record/";
    QTest::newRow("relative") << "<a href=list.do?page=2>下一页</a>" << site + "list.do?page=2";
    QTest::newRow("entities, arrows") << "<a href='/r/l.do?p=2&amp;n=20'> 下一页 &gt;&gt; </a>"
                                      << "http://training.example/r/l.do?p=2&n=20";
    QTest::newRow("bracketed, after 上一页")
        << "<a href=list.do?page=0>上一页</a> [<a href=\"?page=3\"><b>下页</b></a>]"
        << site + "list.do?page=3";
    QTest::newRow("后一页") << "<a href=\"p2.html\">后一页</a>" << site + "p2.html";
    QTest::newRow("anchor") << "<a href=\"#\">下一页</a>" << QString();
    QTest::newRow("script") << "<a href=\"javascript:void(0)\">下一页</a>" << QString();
    QTest::newRow("no href") << "<a>下一页</a>" << QString();
    QTest::newRow("disabled") << "<a class=\"p Disabled\" href=\"p2.html\">下一页</a>" << QString();
    QTest::newRow("this page") << "<a href=\"list.do?page=1\">下一页</a>" << QString();
    QTest::newRow("span") << "<span onclick=\"location='p2.html'\">下一页</span>" << QString();
    QTest::newRow("in a comment") << "<!-- <a href=\"p2.html\">下一页</a> -->" << QString();
}

void StudyRecordTest::nextPage_usableLinksOnly()
{
    QFETCH(QString, html);
    QTEST(parseRecordPage(html, kBase, {}).nextPage.toString(), "next");
}

void StudyRecordTest::linkTo_hrefOrOnclick_byNormalizedText_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("address");
    const QString site = "http://training.example";
    QTest::newRow("href") << "<a href=\"/study/rec.do\">学习记录</a>" << site + "/study/rec.do";
    QTest::newRow("unusable ones passed")
        << "<a href=\"#\">学习记录</a><a href='javascript:show()'>学习记录</a>"
           "<li onclick=\"location.href='/rec.do'\">学习记录</li>"
        << site + "/rec.do";
    QTest::newRow("window.open, spaced text")
        << "<div onclick=\"window.open('/rec.do','_blank')\"> 学习 <i>记录</i> </div>"
        << site + "/rec.do";
    QTest::newRow("'>' in a quoted attribute")
        << "<span onclick=\"if (n > 0) location='/rec.do'\">学习记录</span>" << site + "/rec.do";
    QTest::newRow("a function's quoted address")
        << "<span onclick=\"goTo(&quot;rec.do?id=1&quot;)\">我的学时</span>"
        << site + "/record/rec.do?id=1";
    QTest::newRow("full-width") << "<a href=rec.do>ＲＥＣＯＲＤ　</a>" << site + "/record/rec.do";
    QTest::newRow("button input")
        << "<input type=button value=\"学习记录\" onclick=\"location='/rec.do'\">"
        << site + "/rec.do";
    QTest::newRow("first by text")
        << "<a href=a.do>其他</a><a href=b.do>学习记录</a>" << site + "/record/b.do";
    QTest::newRow("left open at the end") << "<p><a href=a.do>学习记录" << site + "/record/a.do";
    QTest::newRow("a link left open ends at the next")
        << "<a href=a.do>学习记录<a href=b.do>退出</a>" << site + "/record/a.do";
    QTest::newRow("longer text") << "<a href=a.do>学习记录查询</a>" << QString();
    QTest::newRow("no address") << "<button onclick=\"return confirm()\">学习记录</button>"
                                << QString();
}

void StudyRecordTest::linkTo_hrefOrOnclick_byNormalizedText()
{
    QFETCH(QString, html);
    QTEST(linkTo(html, kBase, {"学习记录", "我的学时", "record"}).toString(), "address");
}

// A record read through the page's fetches, page n at p<n>.html answered as the n-th word says:
// "next" (a page of times linking the next), "last", "back" (linking page 1), "plain" (no times),
// "500", "login".
void StudyRecordTest::fetch_pageByPage_untilTheLastOrAFailure_data()
{
    QTest::addColumn<QStringList>("pages");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("three pages") << QStringList{"next", "next", "last"} << "read 3, complete";
    QTest::newRow("a later page, no times") << QStringList{"next", "plain"} << "read 1, in part";
    QTest::newRow("a link back") << QStringList{"next", "back"} << "read 2, in part";
    QTest::newRow("no times at all") << QStringList{"plain"} << "failed: no table of studied time";
    QTest::newRow("an error on the way") << QStringList{"next", "500"} << "failed: HTTP 500";
    QTest::newRow("the login page") << QStringList{"login"} << "failed: the login page came";
}

void StudyRecordTest::fetch_pageByPage_untilTheLastOrAFailure()
{
    QFETCH(QStringList, pages);
    lumora::testing::FakeBrowser browser;
    browser.setDocument(std::make_shared<lumora::testing::FakeDocument>());
    browser.answerFetch = [&pages](const QUrl& url) {
        const int n = url.fileName().mid(1).chopped(5).toInt();
        const QString word = pages.value(n - 1);
        QString body = QString("<table><tr><th>课程</th><th>学习时长</th></tr><tr><td>第%1课</td>"
                               "<td>30分钟</td></tr></table>")
                           .arg(n);
        if (word == "next" || word == "back")
            body += QString("<a href='p%1.html'>下一页</a>").arg(word == "next" ? n + 1 : 1);
        else if (word == "plain")
            body = "<p>系统维护中</p>";
        else if (word == "login")
            body = "<input name=userName><input name=Password type=password>";
        using lumora::platform::FetchAnswer;
        return std::optional<FetchAnswer>({.status = FetchAnswer::Status::Answered,
                                           .httpStatus = word == "500" ? 500 : 200,
                                           .url = url,
                                           .body = body,
                                           .error = {}});
    };
    RecordFetch fetch(browser);
    fetch.start(kBase.resolved(QUrl("p1.html")), {});
    for (int round = 0; round < 10 && fetch.poll() == RecordFetch::State::Reading; ++round)
        browser.finishLoad();
    QFETCH(QString, outcome);
    const QString seen = fetch.state() == RecordFetch::State::Read
                             ? QString("read %1, %2")
                                   .arg(fetch.rows().size())
                                   .arg(fetch.complete() ? "complete" : "in part")
                             : "failed: " + fetch.failure();
    QVERIFY2(seen.startsWith(outcome), qPrintable(seen));
}

QTEST_MAIN(StudyRecordTest)
#include "tst_study_record.moc"
