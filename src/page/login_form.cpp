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
        QList<int> hidden;
        page.forEachMatch(kTopDocument, input, lowerCased(Field::Type, QStringLiteral("hidden")),
                          [&](int at) { hidden.append(at); });
        // A box the learner can type into: a hidden input of that name is a page's own state.
        const auto hasBox = [&](QLatin1String name) {
            bool found = false;
            page.forEachMatch(kTopDocument, input, lowerCased(Field::Name, name),
                              [&](int at) { found = found || !hidden.contains(at); });
            return found;
        };
        check = hasBox(kUserNameInput) && hasBox(kPasswordInput) ? LoginCheck::LoginPage
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
    static const QRegularExpression inputTag(QStringLiteral(R"(<input\b[^>]*>)"),
                                             QRegularExpression::CaseInsensitiveOption);
    bool userName = false;
    bool password = false;
    for (QRegularExpressionMatchIterator it = inputTag.globalMatch(html); it.hasNext();) {
        const QString tag = it.next().captured();
        if (attributeValue(tag, QStringLiteral("type")).toLower() == QLatin1String("hidden"))
            continue; // not a box the learner types into
        const QString name = attributeValue(tag, QStringLiteral("name")).toLower();
        userName = userName || name == QString(kUserNameInput).toLower();
        password = password || name == QString(kPasswordInput).toLower();
    }
    return userName && password;
}

QString attributeValue(const QString& tag, const QString& attribute)
{
    // Each attribute with its value quoted either way or not at all.
    static const QRegularExpression attributes(
        QStringLiteral(R"re(\s([^\s=>/]+)\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s>]+)))re"));
    for (const QRegularExpressionMatch& m : attributes.globalMatch(tag)) {
        if (m.captured(1).compare(attribute, Qt::CaseInsensitive) == 0)
            return m.captured(2) + m.captured(3) + m.captured(4);
    }
    return {};
}

QString refusalIn(const QString& pageText)
{
    // What a site says refusing a login: a fault, trouble of its own, or a check to pass.
    static const QRegularExpression refusal(
        QStringLiteral("错误|不正确|有误|失败|无效|不存在|锁定|冻结|过期|请重新输入|维护|暂停|"
                       "稍后|别处|其他地方|频繁|次数过多|繁忙|滑块|拖动|滑动验证|拼图"));
    const QStringList lines = pageText.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        if (line.contains(refusal))
            return line.trimmed();
    }
    return {};
}

Refusal readRefusal(const QString& alert, const QString& pageText)
{
    static const QRegularExpression code(QStringLiteral("验证码|校验码|captcha"),
                                         QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression slider(QStringLiteral("滑块|拖动|滑动验证|拼图"));
    // A lock or too many tries passes with time, even where the words name the password.
    static const QRegularExpression wait(QStringLiteral("锁定|冻结|频繁|次数过多"));
    static const QRegularExpression account(QStringLiteral("用户名|密码|账号|帐号"));
    static const QRegularExpression wrong(QStringLiteral("错误|不正确|不存在|无效|有误"));
    Refusal refusal{RefusalKind::SiteTrouble, alert.trimmed()};
    if (refusal.words.isEmpty())
        refusal.words = refusalIn(pageText);
    const QString& words = refusal.words;
    if (words.contains(code))
        refusal.kind = RefusalKind::Code;
    else if (words.contains(slider))
        refusal.kind = RefusalKind::Slider;
    else if (!words.contains(wait) && words.contains(account) && words.contains(wrong))
        refusal.kind = RefusalKind::Credentials;
    return refusal;
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
    if (!values.submit)
        request.rules.resize(2);
    page.walk(request);
}

} // namespace lumora::page
