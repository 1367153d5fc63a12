#pragma once

// The site's login form, as the page shows it: three inputs found by name (compared
// lower-cased) and an image button that submits it.

#include "page/page_access.h"

#include <QString>

namespace lumora::page {

struct LoginValues
{
    QString userName;
    QString password;
    QString verificationCode;
    // False: the user name and password are filled in and the rest is left to the learner
    // (a site that asks for a picture's code).
    bool submit = true;
};

// What a page is, for the login: the site's login page is a top-level document with input
// elements named userName and Password (compared lower-cased, as the fill finds them) that are
// not hidden (type=hidden holds a page's own state, not a box to type into).
enum class LoginCheck
{
    LoginPage,
    OtherPage,
    Unreadable, // the page gave no answer, or an answer that says nothing
};
LoginCheck checkForLoginPage(platform::BrowserControl& browser);
// Whether `browser` shows the login page; a page that cannot be read does not.
bool showsLoginPage(platform::BrowserControl& browser);
// Whether the HTML text `html` is the site's login page, by the same rule.
bool isLoginPageHtml(const QString& html);
// The value of `attribute` in the HTML start tag `tag`, quoted either way or not at all (empty
// when it has none).
QString attributeValue(const QString& tag, const QString& attribute);

// Why the site refused a login, as its login page says it: the first line of `pageText` with
// a refusal's words ("用户名或密码错误", "验证码错误", "系统维护中，暂停登录", "账号已在别处登录",
// "操作过于频繁", a slider to drag ...); empty when none has.
QString refusalIn(const QString& pageText);

// What a refused login is about, by the site's words: only the first three need the learner.
enum class RefusalKind
{
    Credentials, // the user name or password is wrong or unknown
    Code,        // the picture's verification code
    Slider,      // a slider or puzzle to drag
    SiteTrouble, // anything else (maintenance, a login elsewhere, too many tries, a lock), or
                 // no words at all: it may pass by itself
};
struct Refusal
{
    RefusalKind kind = RefusalKind::SiteTrouble;
    QString words; // the site's own, trimmed; empty when it gave none
};
// The site's refusal of a login: the alert it raised (`alert`, when not blank), else the line
// of `pageText` that refusalIn() finds, and what those words are about.
Refusal readRefusal(const QString& alert, const QString& pageText);

// Fills and submits the login form of the page now shown, whatever page it is: one walk over
// every element of the top-level document, in document order. The three name tests are
// independent, and every image input is clicked when the walk reaches it, so a field after an
// image input is filled after the click. NotThere when the page cannot be walked. Without
// `values.submit`, only the user name and password are filled.
void fillLoginForm(PageAccess& page, const LoginValues& values);

} // namespace lumora::page
