// The session check, the login page seen in a page, and where the main view's new windows go, on
// the fake engine.

#include "page/login_form.h"
#include "page/session_check.h"
#include "page/window_routing.h"
#include "program_fixture.h"

#include <QSignalSpy>
#include <QTest>

using namespace lumora;
using namespace lumora::testing;
using platform::FetchAnswer;
using Verdict = page::SessionCheck::Verdict;

namespace {

const QUrl kLogin("http://training.example:8080/permission/loginAction.do?method=init");

} // namespace

class SessionCheckTest : public QObject
{
    Q_OBJECT
private slots:
    void verdict_fromTheAnswer_data();
    void verdict_fromTheAnswer();
    void loginPage_hiddenInputsAreNoBoxes();
    void address_theCourseFrameAsTheCoursePageBroughtIt();
    void newWindows_theLessonsInThePlayer_othersOnTheirOwn();
};

void SessionCheckTest::verdict_fromTheAnswer_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("http");
    QTest::addColumn<QString>("url");
    QTest::addColumn<int>("redirect"); // 1: redirected; 2: and left the page's origin
    QTest::addColumn<QString>("body");
    QTest::addColumn<Verdict>("verdict");
    const int answered = int(FetchAnswer::Status::Answered);
    const QString frame = kCourseFrameUrl.toString();
    const QString hidden = "<input type=hidden name=userName><input TYPE='Hidden' name=Password>";
    const QString loginForm = "<form><input name=userName><input name=\"Password\"></form>";
    const auto row = [](const char* name, int status, int http, const QString& url, int redirect,
                        const QString& body, Verdict verdict) {
        QTest::newRow(name) << status << http << url << redirect << body << verdict;
    };
    row("the course frame", answered, 200, frame, 0, courseFrameHtml(), Verdict::Alive);
    row("redirected within the site to the course frame", answered, 200, frame + "?x", 1,
        courseFrameHtml(), Verdict::Alive);
    row("the course frame with login inputs hidden", answered, 200, frame, 0,
        courseFrameHtml() + hidden, Verdict::Alive);
    row("category links out of place", answered, 200, frame, 0,
        "<a>个体辅导学习课程</a><a>b</a><a>c</a>", Verdict::NoAnswer);
    row("category links in a comment", answered, 200, frame, 0, "<!--" + courseFrameHtml() + "-->",
        Verdict::NoAnswer);
    row("the login page", answered, 200, frame, 0, loginForm, Verdict::Ended);
    row("login inputs hidden only", answered, 200, frame, 0, hidden, Verdict::NoAnswer);
    row("redirected to the login page", answered, 200, kLogin.toString(), 1, "<p>登录</p>",
        Verdict::Ended);
    row("a page that sends itself to the login page", answered, 200, frame, 0,
        "<p>会话已超时</p><script>alert('会话已超时');"
        "top.location.href = '/permission/loginAction.do?method=init';</script>",
        Verdict::Ended);
    row("a refresh to the login page", answered, 200, frame, 0,
        "<meta http-equiv=\"Refresh\" content=\"0;url=../permission/loginAction.do\">",
        Verdict::Ended);
    row("a page that sends itself elsewhere", answered, 200, frame, 0,
        "<script>location.replace('/course/notice')</script>", Verdict::NoAnswer);
    row("redirected to another host", answered, 200, "https://sso.example/login", 1, "<p>sso</p>",
        Verdict::Ended);
    row("redirected out of the page's origin", answered, 0, "", 2, "", Verdict::Ended);
    row("maintenance", answered, 503, frame, 0, "<p>系统维护中</p>", Verdict::NoAnswer);
    row("a login form with a server error", answered, 500, frame, 0, loginForm, Verdict::NoAnswer);
    row("not found", answered, 404, frame, 0, "<p>not found</p>", Verdict::NoAnswer);
    row("no answer", int(FetchAnswer::Status::NoAnswer), 0, "", 0, "", Verdict::NoAnswer);
    row("not answered yet", int(FetchAnswer::Status::Pending), 0, "", 0, "", Verdict::NoAnswer);
}

void SessionCheckTest::verdict_fromTheAnswer()
{
    QFETCH(int, redirect);
    FetchAnswer answer;
    QFETCH(int, status);
    QFETCH(int, http);
    QFETCH(QString, url);
    QFETCH(QString, body);
    answer.status = FetchAnswer::Status(status);
    answer.httpStatus = http;
    answer.url = QUrl(url);
    answer.redirected = redirect > 0;
    answer.leftOrigin = redirect > 1;
    answer.body = body;
    QTEST(page::sessionVerdict(answer, kCourseFrameUrl, kLogin), "verdict");
}

void SessionCheckTest::loginPage_hiddenInputsAreNoBoxes()
{
    ProgramFixture f;
    f.start();
    QCOMPARE(page::checkForLoginPage(f.main()), page::LoginCheck::LoginPage);
    // The course page carrying the login's names as hidden inputs is not the login page.
    auto course = makeCoursePage();
    course.top->input("userName", "hidden");
    course.top->input("Password", "HIDDEN");
    f.main().setDocument(course.top);
    QCOMPARE(page::checkForLoginPage(f.main()), page::LoginCheck::OtherPage);
    // One box visible, the other hidden: still no login.
    course.top->input("userName", "text");
    QCOMPARE(page::checkForLoginPage(f.main()), page::LoginCheck::OtherPage);
    course.top->input("password");
    QCOMPARE(page::checkForLoginPage(f.main()), page::LoginCheck::LoginPage);
    f.main().hung = true;
    QCOMPARE(page::checkForLoginPage(f.main()), page::LoginCheck::Unreadable);
}

void SessionCheckTest::address_theCourseFrameAsTheCoursePageBroughtIt()
{
    // Before the course page showed there is nothing to ask, and no verdict.
    ProgramFixture bare;
    bare.start();
    page::SessionCheck check(bare.main(), bare.platform.fakeClock, kLogin,
                             [&] { return bare.session().courseFrameAddress(); });
    check.ask();
    QCOMPARE(check.take(), Verdict::NoAnswer);
    QCOMPARE(bare.main().fetches, 0);

    RunFixture f;
    f.pressStudy();
    QCOMPARE(f.minute(), 1);
    // The frame then went on to a form's answer: the address asked stays the one it came with.
    f.site.course->url = QUrl("http://training.example:8080/course/search.do?token=1");
    f.main().completeDocument();
    QCOMPARE(f.minute(), 1);
    QCOMPARE(f.main().fetchedUrls, QList<QUrl>(2, kCourseFrameUrl));
    // A new load of the course page (a login again) brings the frame's address anew.
    const QUrl renewed("http://training.example:8080/course/frame?session=2");
    f.site.course->url = renewed;
    f.showInMain(f.site.top);
    QCOMPARE(f.minute(), 1);
    QCOMPARE(f.main().fetchedUrls.last(), renewed);
}

void SessionCheckTest::newWindows_theLessonsInThePlayer_othersOnTheirOwn()
{
    using namespace std::chrono_literals;
    FakeClock clock;
    FakeBrowser main, player;
    player.setLastLoad({platform::LoadOutcome::NotLoaded, 0, {}, {}});
    page::BrowserViews views(main, player);
    QList<FakeBrowser*> made;
    page::WindowRouting routing(views, clock, [&] {
        auto browser = std::make_unique<FakeBrowser>();
        made.append(browser.get());
        return browser;
    });
    QSignalSpy programEnds(&routing, &page::WindowRouting::pageClosedWindow);
    // Whether the main view's next new window opens in a window of its own, the n-th made.
    const auto opensApart = [&](qsizetype n) {
        platform::BrowserControl* chosen = main.requestNewWindow();
        return made.size() == n + 1 && chosen == made.last();
    };
    const auto ownWindows = [&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return routing.ownWindows().size();
    };

    // The window a notice opens is shown on its own, silent, and leaves the player view alone.
    QVERIFY(opensApart(0));
    QVERIFY(made[0]->widget()->isWindow() && made[0]->widget()->isVisible());
    QCOMPARE(made[0]->silent, std::optional(true));
    // The lesson's click: its window goes into the player view, once.
    views.expectPlayerWindow();
    QCOMPARE(main.requestNewWindow(), &player);
    QVERIFY(opensApart(1));
    // Not when it comes too late, nor after the player view loaded the lesson by itself.
    views.expectPlayerWindow();
    clock.advance(page::WindowRouting::kPlayerWait + 1s);
    QVERIFY(opensApart(2));
    views.expectPlayerWindow();
    player.setLastLoad({platform::LoadOutcome::Succeeded, 200, {}, {}});
    QVERIFY(main.requestNewWindow() != &player);
    QCOMPARE(made.size(), 3); // no more than three at once: that one was refused
    // The learner closes one; a page closes another: they go, the program stays.
    made[0]->widget()->close();
    QCOMPARE(ownWindows(), std::size_t(2));
    emit made[1]->windowClosedByPage();
    QCOMPARE(ownWindows(), std::size_t(1));
    QCOMPARE(programEnds.size(), 0);
    QVERIFY(opensApart(3));
    emit main.windowClosedByPage();
    QCOMPARE(programEnds.size(), 1);
}

QTEST_MAIN(SessionCheckTest)
#include "tst_session_check.moc"
