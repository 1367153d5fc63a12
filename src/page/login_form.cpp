#include "page/login_form.h"

#include <QRegularExpression>

namespace lumora::page {

namespace {
constexpr QLatin1String kUserNameInput("userName");
constexpr QLatin1String kPasswordInput("Password");
constexpr QLatin1String kCodeInput("randomCode");
} // namespace

LoginCheck checkForLoginPage(platform::BrowserControl& browser)
{
    LoginCheck check = LoginCheck::Unreadable;
    guarded([&] {
        PageAccess page(browser);
        const QString input = QStringLiteral("input");
        check = page.contains(kTopDocument, input, lowerCased(Field::Name, kUserNameInput)) &&
                        page.contains(kTopDocument, input, lowerCased(Field::Name, kPasswordInput))
                    ? LoginCheck::LoginPage
                    : LoginCheck::OtherPage;
    });
    return check;
}

bool showsLoginPage(platform::BrowserControl& browser)
{
    return checkForLoginPage(browser) == LoginCheck::LoginPage;
}

bool isLoginPageHtml(const QString& html)
{
    // The name attribute of every input tag, quoted either way or not at all.
    static const QRegularExpression input(
        QStringLiteral(R"re(<input\b[^>]*?\bname\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s>]+)))re"),
        QRegularExpression::CaseInsensitiveOption);
    bool userName = false;
    bool password = false;
    for (QRegularExpressionMatchIterator it = input.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString name = (m.captured(1) + m.captured(2) + m.captured(3)).toLower();
        userName = userName || name == QString(kUserNameInput).toLower();
        password = password || name == QString(kPasswordInput).toLower();
    }
    return userName && password;
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
