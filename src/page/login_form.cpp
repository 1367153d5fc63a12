#include "page/login_form.h"

namespace lumora::page {

namespace {
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

void fillLoginForm(PageAccess& page, const LoginValues& values)
{
    using platform::Action;
    platform::WalkRequest request;
    request.frames = kTopDocument;
    request.filter = {lowerCased(Field::TagName, QStringLiteral("input"))};
    request.rules = {
        {{lowerCased(Field::Name, kUserNameInput)}, Action::SetValue, values.userName},
        {{lowerCased(Field::Name, kPasswordInput)}, Action::SetValue, values.password},
        {{lowerCased(Field::Name, kCodeInput)}, Action::SetValue, values.verificationCode},
        {{exactly(Field::Type, QStringLiteral("image"))}, Action::Click, {}},
    };
    page.walk(request);
}

} // namespace lumora::page
