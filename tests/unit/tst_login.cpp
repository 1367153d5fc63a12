// Site login, the session check and where the main view's new windows go, on the fake engine.
// Clearing and a page closing its window are tst_flow's, on the real engine.

#include "page/login_form.h"
#include "page/session_check.h"
#include "page/window_routing.h"
#include "program_fixture.h"
#include "window/study_status.h"

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

using namespace lumora;
using namespace lumora::testing;
using platform::FetchAnswer;
using Verdict = page::SessionCheck::Verdict;
using records::RunEventKind;
using namespace std::chrono_literals;

static const QUrl kLogin("http://training.example:8080/permission/loginAction.do?method=init");

class LoginTest : public QObject
{
    Q_OBJECT
private slots:
    void login_checksFillsClicksAndSaves_data();
    void login_checksFillsClicksAndSaves();
    void refusal_toldInTheSitesWords_captchaLeftToTheLearner();
    void refusalWhileLoggingInAgain_pausesForTheLearner_orWaitsOutTheSite();
    void verdict_fromTheAnswer();
    void loginPage_hiddenInputsAreNoBoxes();
    void address_theCourseFrameAsTheCoursePageBroughtIt();
    void newWindows_theLessonsInThePlayer_othersOnTheirOwn();
};

// Each row: the user name and password boxes, then the verification code the program fills in, the
// page ("tag name type" per element; a first entry "frame" puts the rest in a frame; no entry at
// all: no document), the message shown (the login refused), and what the page saw: each click with
// its values at that moment, then the values left.
void LoginTest::login_checksFillsClicksAndSaves_data()
{
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QStringList>("page");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("seen");
    const auto row = [](const char* name, const QString& boxes, const QStringList& page,
                        const QString& message, const QStringList& seen) {
        QTest::newRow(name) << boxes.split('|') << page << message << seen;
    };
    const QStringList form = {"input userName text", "input Password password",
                              "input randomCode text", "input - image"};
    row("no user name", "||ok", form, "用户名不能为空！", {"|||"});
    row("no password", "demo||ok", form, "密码不能为空！", {"|||"});
    row("the site's form", "demo|demo123|ok", form, "",
        {"click demo|demo123|ok|", "demo|demo123|ok|"});
    row("in document order", "demo|demo123|ok",
        {"input userName", "input - image", "input Password", "input - image"}, "",
        {"click demo|||", "click demo||demo123|", "demo||demo123|"});
    row("names ignore case, inputs only", "demo|demo123|ok",
        {"input USERNAME", "input password", "input RandomCode", "input - IMAGE",
         "textarea userName"},
        "", {"demo|demo123|ok||"});
    row("top-level document only", "demo|demo123|ok", QStringList{"frame"} + form, "", {"|||"});
    row("no document", "demo|demo123|ok", {}, "", {""});
}

void LoginTest::login_checksFillsClicksAndSaves()
{
    QFETCH(QStringList, boxes);
    QFETCH(QStringList, page);
    QFETCH(QString, message);
    ProgramFixture f;
    f.writeState("old\r\nstate\r\n\r\n\r\n\r\n\r\n");
    f.start();
    auto top = std::make_shared<FakeDocument>();
    auto doc = top;
    if (page.value(0) == "frame") {
        top->frames().append(doc = std::make_shared<FakeDocument>());
        page.removeFirst();
    }
    QStringList seen;
    const auto values = [doc = doc.get()] { // not owning: the elements hold this lambda
        QStringList all;
        for (qsizetype i = 0; i < doc->elements().size(); ++i)
            all << doc->elements()[i].value;
        return all.join('|');
    };
    const auto click = [&seen, values](FakeDocument&) { seen << "click " + values(); };
    for (const QString& description : page) {
        const QStringList e = description.split(' ');
        doc->add({e[0], e[1] == "-" ? QString() : e[1], e.value(2), {}, {}, {}, {}, click});
    }
    f.main().setDocument(page.isEmpty() ? nullptr : top);
    f.window().userNameBox()->setText(boxes[0]);
    f.window().passwordBox()->setText(boxes[1]);
    f.session().logIn();
    QTEST(seen << values(), "seen");
    QCOMPARE(f.platform.fakeDialogs.texts,
             message.isEmpty() ? QStringList() : QStringList{message});
    for (const FakeDialogs::Shown& box : f.platform.fakeDialogs.shown)
        QVERIFY(box.title == f.window().windowTitle() && box.icon == platform::MessageIcon::None);
    const QString saved = message.isEmpty() ? boxes[0] + "\r\n" + boxes[1] : "old\r\nstate";
    QCOMPARE(f.readState(), (saved + "\r\n\r\n\r\n\r\n\r\n").toUtf8());
}

void LoginTest::refusal_toldInTheSitesWords_captchaLeftToTheLearner()
{
    ProgramFixture f;
    f.start();
    f.window().userNameBox()->setText("demo");
    f.window().passwordBox()->setText("wrong");
    // Each press of "登录" on `shown` brings `answer`: the login page again, as the site refuses.
    const auto press = [&f](FakeDocument& shown, std::shared_ptr<FakeDocument> answer) {
        shown.elements()[3].onClick = [&f, answer](FakeDocument&) { f.main().startLoad({answer}); };
        f.window().loginButton()->click();
        f.platform.runEventLoop();
        return f.window().noticePanel()->trouble();
    };
    // Its alert() says why; else a line of the page does. A slider is named as such.
    auto alerted = makeLoginPage(), slider = makeLoginPage(), down = makeLoginPage(),
         said = makeLoginPage();
    alerted->alerts = {"用户名或密码错误"};
    slider->add({"p", {}, {}, {}, "请向右拖动滑块完成验证", {}, {}, {}});
    down->add({"p", {}, {}, {}, "系统维护中，暂停登录，请稍后再试", {}, {}, {}});
    said->add({"p", {}, {}, {}, "请输入验证码", {}, {}, {}});
    said->add({"p", {}, {}, {}, "验证码错误，请重新输入", {}, {}, {}});
    QCOMPARE(press(*f.main().pages[kLogin].document, alerted),
             "网站没有接受登录：用户名或密码错误");
    QCOMPARE(press(*alerted, slider), session::SiteSession::sliderText());
    QCOMPARE(press(*slider, down), "网站没有接受登录：系统维护中，暂停登录，请稍后再试");
    // A code that is refused is the picture's: the learner is told to log in on the page.
    QCOMPARE(press(*down, said), session::SiteSession::captchaText());
    // "登录" then fills the boxes and leaves the code and the button to the learner.
    said->elements()[0].value.clear();
    const QStringList clicks = f.main().clickLog;
    f.window().loginButton()->click();
    QVERIFY(f.main().clickLog == clicks && said->elements()[0].value == "demo" &&
            said->elements()[2].value.isEmpty());
    // Logging in again in a run pauses for the code, never blaming the password.
    const session::RecoveryStep step = f.session().beginRecovery();
    QVERIFY(step.result == session::RecoveryStep::Result::Paused &&
            step.why == session::SiteSession::captchaText());
    f.showInMain(makeCoursePage().top); // the learner logged in
    QVERIFY(f.window().noticePanel()->trouble().isEmpty());
}

void LoginTest::refusalWhileLoggingInAgain_pausesForTheLearner_orWaitsOutTheSite()
{
    // The site's refusal of the saved login (an alert, or a line of its page), and what the run
    // says: why it pauses, or (`waits`) the site's words as the notice of a back-off gives them.
    const QString credentials = "网站拒绝了保存的用户名或密码，学习已暂停。请检查后重新登录，"
                                "再按“连续学习”。";
    const QString down = "系统维护中，暂停登录，请稍后再试",
                  locked = "密码错误次数过多，账号已锁定";
    const struct
    {
        const char* name;
        QString alert, line;
        bool waits;
        QString told;
    } cases[] = {
        {"wrong password", "用户名或密码错误", {}, false, credentials},
        {"no such account", {}, "该帐号不存在", false, credentials},
        {"wrong code", {}, "验证码错误，请重新输入", false, session::SiteSession::captchaText()},
        {"a slider", {}, "请按住滑块，拖动到最右边", false, session::SiteSession::sliderText()},
        {"maintenance", down + "。", {}, true, down},
        {"logged in elsewhere", {}, "账号已在别处登录", true, "账号已在别处登录"},
        {"locked by the logins", {}, locked, true, locked},
        {"no words", {}, {}, true, {}},
    };
    for (const auto& c : cases) {
        RunFixture f;
        auto refused = makeLoginPage();
        refused->alerts = {c.alert};
        refused->add({"p", {}, {}, {}, c.line, {}, {}, {}});
        // The site refuses the first two submits, then takes the saved login.
        QList<std::chrono::milliseconds> submits;
        QStringList notices; // what the study panel says at each submit
        const auto submit = [&](FakeDocument&) {
            submits.append(f.platform.fakeClock.now());
            notices.append(f.window().studyStatus()->notice());
            f.main().startLoad({submits.size() < 3 ? refused : f.site.top});
        };
        refused->elements()[3].onClick = submit;
        f.main().pages[kLogin].document->elements()[3].onClick = submit;
        f.pressStudy();
        QCOMPARE(f.minute(), 1);
        f.answerSessionChecks(false);
        QCOMPARE(f.minute(), 0); // the session ended: the run logs in again
        const auto recovered = [&f] { return f.kinds().contains(RunEventKind::SessionRecovered); };
        for (int tick = 0; tick < 20 && f.timer().isEnabled() && !recovered(); ++tick) {
            f.platform.runEventLoop();
            f.platform.runEventLoop();
            f.tick();
        }
        if (!c.waits) {
            QVERIFY2(!f.timer().isEnabled() && submits.size() == 1, c.name);
            QCOMPARE(f.window().statusBar()->currentMessage(), c.told);
            continue;
        }
        // Each refusal waits its back-off (30 s, then 1 min, each to the next tick), then the
        // site takes the login and the run goes on.
        QVERIFY2(notices.value(1) == (c.told.isEmpty()
                                          ? "重新登录未成功，30 秒后重试"
                                          : "网站暂时不能登录：" + c.told + "。30 秒后重试"),
                 c.name);
        QVERIFY2(submits.size() == 3 && submits[1] - submits[0] == 60s &&
                     submits[2] - submits[1] == 80s && recovered() && f.timer().isEnabled() &&
                     f.window().studyStatus()->notice().isEmpty(),
                 c.name);
    }
}

void LoginTest::verdict_fromTheAnswer()
{
    const QString frame = kCourseFrameUrl.toString(), course = courseFrameHtml();
    const QString hidden = "<input type=hidden name=userName><input TYPE='Hidden' name=Password>";
    const QString loginForm = "<form><input name=userName><input name=\"Password\"></form>";
    // What the site answered (status -1: no answer; redirect 1: redirected, 2: out of the
    // page's origin), and the verdict.
    const std::tuple<const char*, int, QString, int, QString, Verdict> cases[] = {
        {"the course frame", 200, frame, 0, course, Verdict::Alive},
        {"redirected to the course frame", 200, frame + "?x", 1, course, Verdict::Alive},
        {"the course frame, login inputs hidden", 200, frame, 0, course + hidden, Verdict::Alive},
        {"links out of place", 200, frame, 0, "<a>一学习课程</a><a>b</a>", Verdict::NoAnswer},
        {"links in a comment", 200, frame, 0, "<!--" + course + "-->", Verdict::NoAnswer},
        {"the login page", 200, frame, 0, loginForm, Verdict::Ended},
        {"login inputs hidden only", 200, frame, 0, hidden, Verdict::NoAnswer},
        {"redirected to the login page", 200, kLogin.toString(), 1, "<p>登录</p>", Verdict::Ended},
        {"a page sending itself to the login page", 200, frame, 0,
         "<p>会话已超时</p><script>alert('会话已超时');"
         "top.location.href = '/permission/loginAction.do?method=init';</script>",
         Verdict::Ended},
        {"a refresh to the login page", 200, frame, 0,
         "<meta http-equiv=\"Refresh\" content=\"0;url=../permission/loginAction.do\">",
         Verdict::Ended},
        {"a page sending itself elsewhere", 200, frame, 0,
         "<script>location.replace('/course/notice')</script>", Verdict::NoAnswer},
        {"redirected to another host", 200, "https://sso.example/in", 1, "<p>sso</p>",
         Verdict::Ended},
        {"redirected out of the page's origin", 0, "", 2, "", Verdict::Ended},
        {"maintenance", 503, frame, 0, "<p>系统维护中</p>", Verdict::NoAnswer},
        {"a login form with a server error", 500, frame, 0, loginForm, Verdict::NoAnswer},
        {"no answer", -1, "", 0, "", Verdict::NoAnswer},
    };
    for (const auto& [name, http, url, redirect, body, verdict] : cases) {
        using Status = FetchAnswer::Status;
        const Status status = http < 0 ? Status::NoAnswer : Status::Answered;
        const FetchAnswer answer{status, http, QUrl(url), redirect > 0, redirect > 1, body, {}};
        QVERIFY2(page::sessionVerdict(answer, kCourseFrameUrl, kLogin) == verdict, name);
    }
}

void LoginTest::loginPage_hiddenInputsAreNoBoxes()
{
    // The course page carrying the login's names as hidden inputs is not the login page, nor
    // with one of them a box; with both boxes it is.
    FakeBrowser browser;
    auto page = makeCoursePage().top;
    browser.setDocument(page);
    page->input("userName", "hidden");
    page->input("Password", "HIDDEN");
    page->input("userName", "text");
    QCOMPARE(page::checkForLoginPage(browser), page::LoginCheck::OtherPage);
    page->input("password");
    QCOMPARE(page::checkForLoginPage(browser), page::LoginCheck::LoginPage);
}

void LoginTest::address_theCourseFrameAsTheCoursePageBroughtIt()
{
    // Before the course page showed there is nothing to ask, and no verdict.
    FakeBrowser bare;
    page::SessionCheck check(bare, kLogin, [] { return QUrl(); });
    check.ask();
    QVERIFY(check.take() == Verdict::NoAnswer && bare.fetches == 0);
    RunFixture f;
    f.pressStudy();
    QCOMPARE(f.minute(), 1);
    // The frame then went on to a form's answer: the address asked stays the one it came with.
    f.site.course->url = QUrl("http://training.example:8080/course/search.do?token=1");
    f.main().completeDocument();
    // The first fetch looked for the site's record in the frame, once a program run.
    QVERIFY(f.minute() == 1 && f.main().fetchedUrls == QList<QUrl>(3, kCourseFrameUrl));
    // A new load of the course page (a login again) brings the frame's address anew.
    f.site.course->url = QUrl("http://training.example:8080/course/frame?session=2");
    f.showInMain(f.site.top);
    QVERIFY(f.minute() == 1 && f.main().fetchedUrls.last() == f.site.course->url);
}

void LoginTest::newWindows_theLessonsInThePlayer_othersOnTheirOwn()
{
    using namespace std::chrono_literals;
    FakeClock clock;
    FakeBrowser main, player;
    player.setLastLoad({platform::LoadOutcome::NotLoaded, 0, {}, {}});
    page::BrowserViews views(main, player);
    QList<FakeBrowser*> made;
    QWidget parent;
    page::WindowRouting routing(views, clock, [&] {
        auto browser = std::make_unique<FakeBrowser>(&parent);
        made.append(browser.get());
        return browser;
    });
    // Whether the main view's next new window opens in a window of its own, the n-th made.
    const auto opensApart = [&](qsizetype n) {
        platform::BrowserControl* chosen = main.requestNewWindow();
        return made.size() == n + 1 && chosen == made.last();
    };
    const auto ownWindows = [&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return int(routing.ownWindows().size());
    };

    // The window a notice opens is shown on its own, silent, and leaves the player view alone.
    QVERIFY(opensApart(0));
    QVERIFY(made[0]->widget()->isWindow() && made[0]->widget()->isVisible() && *made[0]->silent);
    QVERIFY(!made[0]->widget()->testAttribute(Qt::WA_QuitOnClose)); // its close ends no program
    // The lesson's click: its window goes into the player view, once.
    views.expectPlayerWindow(player.lastLoad().serial);
    QCOMPARE(main.requestNewWindow(), &player);
    QVERIFY(opensApart(1));
    // Not when it comes too late, nor after the player view loaded the lesson by itself.
    views.expectPlayerWindow(player.lastLoad().serial);
    clock.advance(page::WindowRouting::kPlayerWait + 1s);
    QVERIFY(opensApart(2));
    views.expectPlayerWindow(player.lastLoad().serial);
    player.setLastLoad({platform::LoadOutcome::Succeeded, 200, {}, {}});
    QVERIFY(main.requestNewWindow() != &player);
    QCOMPARE(made.size(), 3); // no more than three at once: that one was refused
    // The learner closes one; a page closes another.
    made[0]->widget()->close();
    QCOMPARE(ownWindows(), 2);
    const QPointer<FakeBrowser> closed = made[1];
    emit closed->windowClosedByPage();
    QVERIFY(!closed->widget()->isVisible() && ownWindows() == 1 && !closed); // hidden, then gone
    QVERIFY(opensApart(3));
}

QTEST_MAIN(LoginTest)
#include "tst_login.moc"
