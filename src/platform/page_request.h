#pragma once

// Plain-data description of what a handler asks of a page, and what comes back.
// A request is carried out inside the page in one go (one round trip), so that the
// walk sees the live document exactly as a synchronous walk would.

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <stdexcept>
#include <vector>

namespace lumora::platform {

// Frames to descend from the top-level document: {} is the top-level document,
// {3} the fourth frame's document, {3, 0} the first frame inside that one.
using FramePath = QList<int>;

// Element members a walk can read.
enum class Field
{
    TagName,
    Name,
    Type,
    Value,
    InnerText,
    OnClick,
    Href, // a link's (a, area) resolved address; any other element's href attribute as written
};

// How a member's text is compared with a constant.
enum class Compare
{
    Exact,     // equal, case-sensitive
    LowerCase, // equal after lower-casing both sides
    Contains,  // the constant occurs in the text, case-sensitive; empty text never matches
};

struct ElementTest
{
    Field field = Field::TagName;
    Compare compare = Compare::Exact;
    QString text;
};

enum class Action
{
    Click,    // simulate a user's click; the walk goes on afterwards
    SetValue, // write `value` into the element's value
    Collect,  // append the element's position to the result
    ReadText, // append the element's position and its visible text (innerText) to the result
};

// One rule: when every test holds for the current element, do the action.
struct WalkRule
{
    std::vector<ElementTest> when;
    Action action = Action::Collect;
    QString value; // for SetValue
};

// A walk over one collection of one document.
//  - The collection's length is read once; item i is fetched afresh at step i.
//  - Elements failing `filter` are passed over; the rules are tried in order on the others,
//    each independently (a matching rule does not stop the later ones).
//  - With `onlyIndex` set, the walk visits that single position, and a position at or past
//    the end of the collection is a failure.
struct WalkRequest
{
    FramePath frames;
    QString tag; // element tag for getElementsByTagName; empty: every element of the document
    std::vector<ElementTest> filter;
    std::vector<WalkRule> rules;
    int onlyIndex = -1;
};

enum class PageStatus
{
    Ok,
    Missing,  // something was not there: no document, no such frame, no element at an index,
              // a cross-origin frame
    NoAnswer, // the page did not answer in time (a hung renderer)
    PageGone, // the page was destroyed or its renderer died while the call was pending
};

// Something a handler expected of a page is not there: a frame, a document, an element. Raised
// by the page-access layer; the handlers' failure policies decide what it ends.
class NotThere : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

struct WalkResult
{
    PageStatus status = PageStatus::Ok;
    QString error;        // what was missing, for logs and tests
    int length = 0;       // the collection's length as read at the start
    QList<int> positions; // collected positions, in document order (partial on failure)
    int clicks = 0;       // clicks made (partial on failure)
    QStringList texts;    // the texts read (ReadText), one per position read
    bool ok() const { return status == PageStatus::Ok; }
};

// A document of the page as one look found it (document()).
struct DocumentInfo
{
    QUrl url;              // its address; empty when there is no document or no answer
    QString identity;      // the same while this document stays; a later one in its place differs
    bool complete = false; // it has finished loading, its frames and images included
};

// What the page got when it fetched an address (fetch()).
struct FetchAnswer
{
    enum class Status
    {
        Pending,  // asked, not answered yet
        Answered, // the site answered with some HTTP status
        NoAnswer, // the request failed or timed out without an answer
        Unknown,  // the page has no such request: it was never made, or its document is gone
    };
    Status status = Status::Unknown;
    int httpStatus = 0;
    QUrl url;                // the address that answered, after any redirects
    bool redirected = false; // the request was redirected on the way
    bool leftOrigin = false; // redirected away from the page's origin: the address and text
                             // of the answer are hidden (empty), its status too (0)
    QString body;            // the answer's text (cut at a size limit)
    QString error;           // why there is no answer, for logs
};

// The lesson's medium as the page shows it: the page's main <video> element (in any frame reached
// or open shadow root; the largest one shown, else the first), else, on a page without any video,
// its <audio> element (the first that plays, else the first).
struct VideoReport
{
    bool present = false;   // the page has a video element (or an audio one, see `audio`)
    double currentTime = 0; // seconds
    double duration = 0;    // seconds, 0 when unknown (NaN, Infinity: a stream)
    bool paused = false;
    bool ended = false;
    int readyState = 0; // HTMLMediaElement.readyState
    int errorCode = 0;  // MediaError.code, 0 when none
    // The engine says it cannot play the source's type (canPlayType ""): the type given with the
    // source, else the one its address implies, else the one its server answers with. False when
    // the type is unknown, and when the source itself failed (an error status), whatever its type.
    bool typeUnplayable = false;
    bool audio = false; // the medium is an <audio> element: the page has no video
    // What it plays: its currentSrc, else its src, else its first <source src>; empty for a
    // stream given by script (a capture) and for none.
    QString source = {};
};

// Something on the page a learner could press: a visible button, link, input button, element of
// role "button" or with an onclick attribute, whose trimmed text (an input's value) is short.
struct PageControl
{
    static constexpr int kMaxText = 12;    // characters of its text, at least one
    static constexpr int kMaxContext = 60; // characters of its context
    QString text;
    // The visible text of its nearest enclosing element whose text is longer than its own, in
    // one line (the question around a button: "您还在学习吗？ 继续学习"); empty when none is.
    QString context;
    bool operator==(const PageControl&) const = default;
};

// The media errors of a page: the MediaError codes (1 aborted, 2 network, 3 decode, 4 source
// not supported) of the video elements that report one, in every frame reached (for logs; audio
// elements are not the lesson's, unless one is its medium), and the lesson's medium.
struct MediaReport
{
    static constexpr int kMaxControls = 16;
    PageStatus status = PageStatus::Ok;
    QString error;
    QList<int> errorCodes;
    VideoReport video;
    // The page's own first line of text (its top document's, else the first frame's that has
    // any), at most 40 characters: what a page without a video tells the learner ("今日学时已满").
    QString firstLine = {};
    // The page shows a document rather than a medium: an <embed> or <object> (not an image), or
    // a frame at a .pdf, .doc(x) or .ppt(x) address, and no video or audio element anywhere. A
    // lesson whose playing the program cannot see.
    bool documentMedium = false;
    // The page's controls (PageControl) in every document reached and open shadow root, in
    // document order, at most kMaxControls: what the page asks of the learner.
    QList<PageControl> controls = {};
    bool ok() const { return status == PageStatus::Ok; }
};

} // namespace lumora::platform
