#pragma once

// The one way handlers read and drive the site's pages.
//
// Documents are named by their frame path from the main view's top-level document and re-derived
// at every use, so a handler always sees the page shown at that moment; nothing of a page is
// kept beyond one call. A walk reads its collection's length once and fetches each item by
// index at its own step. Anything that is not there (a frame, a document, an element) raises
// NotThere; handlers choose a failure policy:
//   guarded    - the first failure ends the handler quietly: guarded([&] { ... });
//   unguarded  - no handling of its own: the failure ends the handler at the event gate,
//                quietly, with the program running and the state file untouched.

#include "platform/browser_control.h"

#include <QString>
#include <functional>

namespace lumora::page {

using platform::Compare;
using platform::ElementTest;
using platform::Field;
using platform::FramePath;
using platform::NotThere;

// The site's frame layout.
inline const FramePath kTopDocument{};
inline const FramePath kCourseFrame{3};    // the fourth frame of the top-level document
inline const FramePath kLessonFrame{3, 0}; // the first frame inside the course frame

// The three kinds of test.
inline ElementTest exactly(Field field, const QString& text)
{
    return {field, Compare::Exact, text};
}
inline ElementTest lowerCased(Field field, const QString& text)
{
    return {field, Compare::LowerCase, text};
}
inline ElementTest containing(Field field, const QString& text)
{
    return {field, Compare::Contains, text};
}

// Runs `body`; a NotThere ends it quietly. Returns whether it ran to its end.
bool guarded(const std::function<void()>& body);

class PageAccess
{
public:
    explicit PageAccess(platform::BrowserControl& browser) : m_browser(browser) {}

    // The page now shown has finished loading.
    bool complete() const;
    // Ready-state guard: reloads a page that is not complete, and goes on at once.
    void refreshUnlessComplete();

    // Raises NotThere unless the document at `frames` can be reached.
    void requireDocument(const FramePath& frames);

    // Calls `found` with the position of every `tag` element of the document at `frames` for
    // which `test` holds, in document order. On a failure mid-walk the positions found so far
    // have been passed on before NotThere is raised.
    void forEachMatch(const FramePath& frames, const QString& tag, const ElementTest& test,
                      const std::function<void(int position)>& found);

    // As forEachMatch, with each element's visible text.
    void forEachText(const FramePath& frames, const QString& tag, const ElementTest& test,
                     const std::function<void(int position, const QString& text)>& found);

    // Clicks the `tag` element at `position`; NotThere when there is none.
    void clickAt(const FramePath& frames, const QString& tag, int position);

    // Clicks every `tag` element for which `test` holds, in document order, walking on after
    // each click. Returns how many were clicked.
    int clickEachMatch(const FramePath& frames, const QString& tag, const ElementTest& test);

    // Whether some `tag` element of the document at `frames` passes `test`; NotThere when the
    // document cannot be walked.
    bool contains(const FramePath& frames, const QString& tag, const ElementTest& test);

    // Runs any walk; NotThere when it fails. The result holds what was done.
    platform::WalkResult walk(const platform::WalkRequest& request);

private:
    platform::BrowserControl& m_browser;
};

} // namespace lumora::page
