// Site login on the fake engine. Clearing, pop-ups and a page closing its window are tst_flow's,
// on the real engine.

#include "program_fixture.h"

#include <QLineEdit>
#include <QTest>

using namespace lumora;
using namespace lumora::testing;

class LoginTest : public QObject
{
    Q_OBJECT
private slots:
    void login_checksFillsClicksAndSaves_data();
    void login_checksFillsClicksAndSaves();
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

QTEST_MAIN(LoginTest)
#include "tst_login.moc"
