// Site login: Command3_Click checks the boxes, fills and submits the site's form, and saves.

#include "page/page_access.h"
#include "shell/main_window.h"

#include <QLineEdit>

namespace lumora::page {

namespace {
// The names of the site's login form inputs, compared lower-cased.
constexpr QLatin1String kUserNameInput("userName");
constexpr QLatin1String kPasswordInput("Password");
constexpr QLatin1String kCodeInput("randomCode");
} // namespace

bool showsLoginPage(platform::BrowserControl& browser)
{
    bool shown = false;
    guarded([&] {
        PageAccess page(browser);
        const QString input = QStringLiteral("input");
        shown = page.contains(kTopDocument, input, lowerCased(Field::Name, kUserNameInput)) &&
                page.contains(kTopDocument, input, lowerCased(Field::Name, kPasswordInput));
    });
    return shown;
}

} // namespace lumora::page

namespace lumora::shell {

void Form1::Command3_Click()
{
    // Blanks are content: only a box with no character at all is empty.
    const auto refuse = [this](const QString& text) {
        m_platform.dialogs().message(text, windowTitle(), platform::MessageIcon::None);
    };
    if (Text3->text().isEmpty())
        return refuse(QStringLiteral("用户名不能为空！"));
    if (Text2->text().isEmpty())
        return refuse(QStringLiteral("密码不能为空！"));
    if (Text1->text().isEmpty())
        return refuse(QStringLiteral("验证码不能为空！"));

    // A page that cannot be walked (no document yet) fills nothing; the save still runs.
    page::guarded([this] { fillLoginForm(); });
    Command11_Click();
}

void Form1::fillLoginForm()
{
    // One walk over every element of the top-level document, in document order: the three
    // name tests are independent, and every image input is clicked when the walk reaches it,
    // so a field after an image input is filled after the click.
    using platform::Action;
    platform::WalkRequest request;
    request.frames = page::kTopDocument;
    request.filter = {page::lowerCased(page::Field::TagName, QStringLiteral("input"))};
    request.rules = {
        {{page::lowerCased(page::Field::Name, page::kUserNameInput)},
         Action::SetValue,
         Text3->text()},
        {{page::lowerCased(page::Field::Name, page::kPasswordInput)},
         Action::SetValue,
         Text2->text()},
        {{page::lowerCased(page::Field::Name, page::kCodeInput)}, Action::SetValue, Text1->text()},
        {{page::exactly(page::Field::Type, QStringLiteral("image"))}, Action::Click, {}},
    };
    mainPage().walk(request);
}

} // namespace lumora::shell
