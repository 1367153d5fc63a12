#pragma once

// Links and menu items of a page's HTML found by their text, as a learner finds them: "学习记录"
// in a menu, "下一页" under a table. Read from the HTML text alone (see html_text.h).

#include <QString>
#include <QStringList>
#include <QUrl>

namespace lumora::page {

// A title as compared across pages: full-width forms folded (NFKC), every kind of white space
// (U+3000 and zero-width spaces too) removed, case folded.
QString normalizedTitle(const QString& title);

// The address of the first link or menu item in `html` whose visible text, normalized, equals
// one of `texts` normalized: an <a href> (not "#..." nor javascript:), an element whose onclick
// holds a quoted address (location='…', window.open('…'), a function called with one), or a
// button input whose value is the text and whose onclick holds one; resolved against `base`.
// Empty when none.
QUrl linkTo(const QString& html, const QUrl& base, const QStringList& texts);

// The address of a pager's next page: the first <a> whose text is "下一页" ("下页", "后一页",
// "下一页>", "[下一页]" ...) with a usable href, resolved against `base`. A disabled one (no
// href, "#...", javascript:, a class with "disabled", aria-disabled) or one that leads to `base`
// itself is none. Empty when none.
QUrl nextPageLink(const QString& html, const QUrl& base);

} // namespace lumora::page
