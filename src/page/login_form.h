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

// Fills and submits the login form of the page now shown, whatever page it is: one walk over
// every element of the top-level document, in document order. The three name tests are
// independent, and every image input is clicked when the walk reaches it, so a field after an
// image input is filled after the click. NotThere when the page cannot be walked.
void fillLoginForm(PageAccess& page, const LoginValues& values);

} // namespace lumora::page
