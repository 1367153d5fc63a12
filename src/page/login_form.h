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

// Whether `browser` shows the site's login page: a top-level document with input elements
// named userName and Password (compared lower-cased, as the fill finds them). A page that
// cannot be read is not the login page.
bool showsLoginPage(platform::BrowserControl& browser);

// Fills and submits the login form of the page now shown, whatever page it is: one walk over
// every element of the top-level document, in document order. The three name tests are
// independent, and every image input is clicked when the walk reaches it, so a field after an
// image input is filled after the click. NotThere when the page cannot be walked.
void fillLoginForm(PageAccess& page, const LoginValues& values);

} // namespace lumora::page
