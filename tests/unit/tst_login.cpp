// Site login and browser housekeeping, on the fake engine.

#include "form_fixture.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

using namespace lumora;
using namespace lumora::testing;

namespace {

// The login page: a form in the top-level document.
std::shared_ptr<FakeDocument> loginPage()
{
    auto doc = std::make_shared<FakeDocument>();
    FakeElement html;
    html.tag = "html";
    doc->add(html);
    doc->input("userName", "text");
    doc->input("Password", "password");
    doc->input("randomCode", "text");
    doc->input("", "image").id = "submit";
    return doc;
}

} // namespace

class LoginTest : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void checks_firstEmptyBoxOnly_data();
    void checks_firstEmptyBoxOnly();
    void fill_writesFieldsAndClicksImage();
    void fill_orderIsDocumentOrder();
    void fill_namesIgnoreCase_typeDoesNot();
    void fill_onlyTopLevelInputs();
    void fill_pageWithoutInputs_stillSaves();
    void fill_noDocumentAtAll_stillSaves();
    void clearing_menuStartsFullClear();
    void popups_routedToThePlayerView();
    void windowClosing_unloadsOnce();

private:
    std::unique_ptr<FormFixture> f;
};

void LoginTest::init()
{
    f = std::make_unique<FormFixture>();
    f->start();
    f->main().setDocument(loginPage());
    f->main().setReadyState(platform::ReadyState::Complete);
    f->form->Text3->setText("demo");
    f->form->Text2->setText("demo123");
}

void LoginTest::checks_firstEmptyBoxOnly_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("both empty") << ""
                                << ""
                                << "ok"
                                << "用户名不能为空！";
    QTest::newRow("password empty") << "demo"
                                    << ""
                                    << "ok"
                                    << "密码不能为空！";
    QTest::newRow("code empty") << "demo"
                                << "x"
                                << ""
                                << "验证码不能为空！";
}

void LoginTest::checks_firstEmptyBoxOnly()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, code);
    QFETCH(QString, message);
    f->writeState("old\r\nstate\r\n\r\n\r\n\r\n\r\n");
    f->form->Text3->setText(user);
    f->form->Text2->setText(password);
    f->form->Text1->setText(code);
    f->form->Command3_Click();
    QCOMPARE(f->platform.fakeDialogs.texts(), QStringList{message});
    const auto& shown = f->platform.fakeDialogs.shown.first();
    QCOMPARE(shown.title, f->form->windowTitle());
    QCOMPARE(shown.icon, platform::MessageIcon::None);
    QCOMPARE(f->main().walkCount, 0);
    QVERIFY(f->main().clickLog.isEmpty());
    QCOMPARE(f->readState(), QByteArray("old\r\nstate\r\n\r\n\r\n\r\n\r\n"));
}

void LoginTest::fill_writesFieldsAndClicksImage()
{
    f->form->Text3->setText("   "); // blanks are content
    f->form->Command3_Click();
    const auto& e = f->main().document()->elements();
    QCOMPARE(e[1].value, QString("   "));
    QCOMPARE(e[2].value, QString("demo123"));
    QCOMPARE(e[3].value, QString("ok"));
    QCOMPARE(f->main().clickLog, QStringList{"submit"});
    QVERIFY(f->platform.fakeDialogs.shown.isEmpty());
    QCOMPARE(f->readState(), QByteArray("   \r\ndemo123\r\n\r\n\r\n\r\n\r\n"));
}

void LoginTest::fill_orderIsDocumentOrder()
{
    // Two image inputs around the password field: both clicked, the password filled between.
    auto doc = std::make_shared<FakeDocument>();
    doc->input("userName");
    QStringList passwordAtClick;
    FakeElement& first = doc->input("", "image");
    first.id = "image1";
    first.onClick = [&passwordAtClick](FakeDocument& d) {
        passwordAtClick << d.elements()[2].value;
    };
    doc->input("Password");
    FakeElement& second = doc->input("", "image");
    second.id = "image2";
    second.onClick = [&passwordAtClick](FakeDocument& d) {
        passwordAtClick << d.elements()[2].value;
    };
    f->main().setDocument(doc);
    f->form->Command3_Click();
    QCOMPARE(f->main().clickLog, (QStringList{"image1", "image2"}));
    QCOMPARE(passwordAtClick, (QStringList{"", "demo123"}));
}

void LoginTest::fill_namesIgnoreCase_typeDoesNot()
{
    auto doc = std::make_shared<FakeDocument>();
    doc->input("USERNAME");
    doc->input("password");
    doc->input("RandomCode");
    doc->input("", "IMAGE").id = "upper";
    FakeElement notInput;
    notInput.tag = "textarea";
    notInput.name = "userName";
    doc->add(notInput);
    f->main().setDocument(doc);
    f->form->Command3_Click();
    const auto& e = doc->elements();
    QCOMPARE(e[0].value, QString("demo"));
    QCOMPARE(e[1].value, QString("demo123"));
    QCOMPARE(e[2].value, QString("ok"));
    QVERIFY(f->main().clickLog.isEmpty());
    QVERIFY(e[4].value.isEmpty());
}

void LoginTest::fill_onlyTopLevelInputs()
{
    auto inFrame = std::make_shared<FakeDocument>();
    inFrame->input("userName");
    inFrame->input("", "image");
    auto top = std::make_shared<FakeDocument>();
    top->frames().append(inFrame);
    f->main().setDocument(top);
    f->form->Command3_Click();
    QVERIFY(inFrame->elements()[0].value.isEmpty());
    QVERIFY(f->main().clickLog.isEmpty());
}

void LoginTest::fill_pageWithoutInputs_stillSaves()
{
    auto doc = std::make_shared<FakeDocument>();
    doc->link("首页");
    f->main().setDocument(doc);
    f->form->Command3_Click();
    QVERIFY(f->main().clickLog.isEmpty());
    QCOMPARE(f->readState(), QByteArray("demo\r\ndemo123\r\n\r\n\r\n\r\n\r\n"));
}

void LoginTest::fill_noDocumentAtAll_stillSaves()
{
    f->main().setNoDocument();
    f->form->Command3_Click();
    QVERIFY(f->platform.fakeDialogs.shown.isEmpty());
    QCOMPARE(f->readState(), QByteArray("demo\r\ndemo123\r\n\r\n\r\n\r\n\r\n"));
}

void LoginTest::clearing_menuStartsFullClear()
{
    f->form->clearhc->trigger();
    f->form->clearhc->trigger();
    QCOMPARE(f->platform.fakeData.fullClears, 2);
    QCOMPARE(f->platform.fakeData.cacheClears, 1); // the one at start-up
}

void LoginTest::popups_routedToThePlayerView()
{
    QCOMPARE(f->main().requestNewWindow(), static_cast<platform::BrowserControl*>(&f->player()));
    QCOMPARE(f->main().requestNewWindow(), static_cast<platform::BrowserControl*>(&f->player()));
    QVERIFY(!f->player().widget()->isVisibleTo(f->form.get())); // routing does not show it
    QCOMPARE(f->player().requestNewWindow(), nullptr);          // the player's own: not routed
}

void LoginTest::windowClosing_unloadsOnce()
{
    f->form->show();
    QSignalSpy unloaded(f->form.get(), &shell::Form1::unloadedSignal);
    f->main().closeWindowByScript();
    f->main().closeWindowByScript();
    QCOMPARE(unloaded.count(), 1);
    QVERIFY(!f->form->isVisible());
    QVERIFY(f->form->unloaded());
}

QTEST_MAIN(LoginTest)
#include "tst_login.moc"
