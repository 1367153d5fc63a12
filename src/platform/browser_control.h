#pragma once

#include "platform/page_request.h"

#include <QObject>
#include <QUrl>
#include <functional>

class QWidget;

namespace lumora::platform {

// The ready state of the document shown, in the order a load goes through them. Only Complete is
// ever tested: the program acts on a page once it has finished loading.
enum class ReadyState
{
    Uninitialized = 0, // no document yet
    Loading = 1,       // a page is loading (or reloading after a renderer crash)
    Interactive = 3,   // the document is parsed; its frames and images may still load
    Complete = 4,      // the page now shown has finished loading
};

// How the last top-level load of a control ended, as far as the engine tells.
enum class LoadOutcome
{
    NotLoaded,    // nothing was loaded yet
    Loading,      // a load is under way
    Succeeded,    // the page arrived with a success status
    NetworkError, // no answer: connection refused, host not found, timed out, aborted ...
    HttpError,    // the server answered with an error status (4xx, 5xx)
    RendererGone, // the page's renderer crashed or was killed after the load
};

// Why a load got no answer, as far as the engine tells (the start-up notice names it).
enum class NoAnswer
{
    None,
    Refused,     // the connection was refused: nothing listens there
    NoSuchHost,  // the name is unknown, or there is no network to ask
    TimedOut,    // nothing came back in time
    Certificate, // the site's certificate was not accepted
    Other,
};

struct LoadInfo
{
    LoadOutcome outcome = LoadOutcome::NotLoaded;
    int httpStatus = 0; // the HTTP status when the engine reported one
    QString error;      // the engine's words, for logs
    QUrl url;           // the address the load was for
    int serial = 0;     // counts the control's top-level loads: a later load has a higher one
    NoAnswer noAnswer = NoAnswer::None; // for NetworkError
};

// One embedded browser. The engine behind it is either Qt WebEngine or, in unit tests,
// an in-memory fake. Nothing outside src/platform/ sees the engine's own types.
// The control tells what happens in its pages through Qt signals, queued, never from inside an
// engine callback. The one exception is the new-window question (setNewWindowHandler): the
// engine needs its answer before the callback returns, so it is asked synchronously.
class BrowserControl : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~BrowserControl() override = default;

    // The widget that shows the page; the window places, shows and hides it.
    virtual QWidget* widget() = 0;

    // Whether the control holds a document at all (false before the first page began to load).
    virtual bool hasDocument() const = 0;
    // Complete when the page now shown has finished loading.
    virtual ReadyState readyState() const = 0;
    // How the last top-level load ended: Loading from navigate() or refresh() on, and from the
    // moment a page begins a load of its own or a new window is routed in; a load superseded
    // by a newer one never reports. A renderer crash since the end counts as RendererGone,
    // until the reload after it starts.
    virtual LoadInfo lastLoad() const = 0;
    // Starts loading the URL; returns at once.
    virtual void navigate(const QUrl& url) = 0;
    // Reloads the page now shown; returns at once.
    virtual void refresh() = 0;
    // With silent on, pages never raise dialogs (alert, confirm, prompt, authentication ...).
    virtual void setSilent(bool silent) = 0;
    // The address of the page now shown.
    virtual QUrl url() const = 0;

    // Runs one walk in the page and waits for its result. Other handlers never run during the
    // wait; events that arrive meanwhile are delivered after the caller returns. Never throws.
    virtual WalkResult walk(const WalkRequest& request) = 0;
    // Checks that the document at `frames` can be reached. One round trip, like walk().
    virtual WalkResult resolve(const FramePath& frames) = 0;

    // The document at `frames` (all empty when there is none). One round trip.
    virtual DocumentInfo document(const FramePath& frames) = 0;
    // Asks the page shown to GET `url` with the page's own cookies (credentials included),
    // proxy and certificates, showing nothing; redirects are followed and reported (the final
    // address, whether it was redirected, whether it left the page's origin). Returns at once: a
    // ticket (above 0) to read the answer with fetchAnswer(), or 0 when the request could not
    // be made (no document, no answer from the page). One round trip, like walk().
    virtual int fetch(const QUrl& url) = 0;
    // The answer to the request `ticket` so far. One round trip; never throws.
    virtual FetchAnswer fetchAnswer(int ticket) = 0;
    // The media errors of the page shown, every frame of it included, its lesson's medium and
    // the controls it shows. One round trip.
    virtual MediaReport mediaErrors() = 0;
    // Plays the lesson's medium again from its beginning, as a learner pressing replay would;
    // false when the page has none or does not answer. One round trip.
    virtual bool replayVideo() = 0;
    // Clicks, as a learner would, the first control (as MediaReport::controls, without their
    // limit) whose text is texts[0], else the first whose text is texts[1], and so on; returns
    // the text clicked, empty when none matched or the page did not answer. One round trip;
    // never throws.
    virtual QString clickControl(const QStringList& texts) = 0;

    // The visible text of the top-level document (its body's innerText, lines kept), at most
    // `maxChars` characters; empty when there is none or no answer. One round trip.
    virtual QString pageText(int maxChars) = 0;

    // The new-window question, asked synchronously when a page in this control opens a new
    // window (script or link target). The handler returns the control that is to show the new
    // window, or nullptr to refuse it.
    using NewWindowHandler = std::function<BrowserControl*()>;
    virtual void setNewWindowHandler(NewWindowHandler handler) = 0;

signals:
    // Document complete: a document finished loading in this control, the top-level one or a
    // frame's.
    void documentLoaded(const QUrl& url);
    // The page closed its window: a page in this control closed its own window by script
    // (window.close()). The control and its widget stay; what it means is the caller's to say.
    void windowClosedByPage();
    // A page in this control called alert() with `text`, shown or not (a silent page drops it).
    void alertShown(const QString& text);
};

} // namespace lumora::platform
