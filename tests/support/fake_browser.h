#pragma once

// An in-memory browser control for unit tests: documents with frames and elements, scriptable
// reactions to clicks, and loads that begin at once and end when the event loop runs. It fails
// loudly (qFatal) when a handler reads state the test never set. Its walks keep js/walk.js's
// contract, its controls js/media.js's (tst_webengine_browser runs both).

#include "platform/browser_control.h"

#include <QHash>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>

namespace lumora::testing {

using platform::LoadInfo;
using platform::ReadyState;
using platform::WalkResult;
class FakeDocument;

struct FakeElement
{
    QString tag; // lower-case, e.g. "a", "input"; tagName reads it upper-case like HTML
    QString name, type, value, innerText, onclick;
    QString id; // for the click log
    // What the page does when the element is clicked; may change the document.
    std::function<void(FakeDocument&)> onClick;
    QString href = {};    // the attribute as written; a link's resolves against its document's url
    QString context = {}; // as a control, the text around it (PageControl::context)
    bool hidden = false;  // not shown: never a control
};

// Elements in document order, each at a stable address: a walk holds the element of its step
// while a click's reaction inserts or removes others, as a page script holds a DOM node.
class FakeElements
{
public:
    FakeElement& operator[](qsizetype i) const { return *m_items.at(i); }
    qsizetype size() const { return m_items.size(); }
    FakeElement& insert(qsizetype i, FakeElement e)
    {
        return **m_items.emplace(i, std::make_shared<FakeElement>(std::move(e)));
    }
    void removeAt(qsizetype i) { m_items.removeAt(i); }
    void clear() { m_items.clear(); }
    // The `tag` elements (all for an empty tag) in document order, held as a walk holds them.
    QList<std::shared_ptr<FakeElement>> withTag(const QString& tag) const
    {
        QList<std::shared_ptr<FakeElement>> found;
        for (const std::shared_ptr<FakeElement>& e : m_items)
            if (tag.isEmpty() || e->tag.compare(tag, Qt::CaseInsensitive) == 0)
                found.append(e);
        return found;
    }

private:
    QList<std::shared_ptr<FakeElement>> m_items;
};

class FakeDocument
{
public:
    // Appends an element in document order.
    FakeElement& add(FakeElement e) { return m_elements.insert(m_elements.size(), std::move(e)); }
    FakeElement& link(const QString& text, const QString& onclick = {})
    {
        return add({QStringLiteral("a"), {}, {}, {}, text, onclick, {}, {}});
    }
    FakeElement& input(const QString& name, const QString& type = {}, const QString& value = {})
    {
        return add({QStringLiteral("input"), name, type, value, {}, {}, {}, {}});
    }

    FakeElements& elements() { return m_elements; }
    // The MediaError codes of the document's video elements that report one.
    QList<int> mediaErrors;
    // The document's own address (a frame's differs from the page's).
    QUrl url;
    // Each document is another, as a page's are, and so is one renewed (a new load in its
    // place); `complete` once it has finished loading.
    int identity = ++s_documents;
    bool complete = true;
    void renew() { identity = ++s_documents; }
    // The document's lesson medium when `present` (an audio element when `audio`); a document
    // that sets none while it reports mediaErrors shows a video with the first of them.
    platform::VideoReport video;
    // It shows an embedded document (MediaReport::documentMedium).
    bool documentMedium = false;
    // The document's first line of text, as the page shows it.
    QString firstLine;
    // What its script passes to alert() as it loads.
    QStringList alerts;
    // Frames in document order; a null frame is a frame without a document.
    QList<std::shared_ptr<FakeDocument>>& frames() { return m_frames; }

private:
    static inline int s_documents = 0;
    FakeElements m_elements;
    QList<std::shared_ptr<FakeDocument>> m_frames;
};

// What a load brings once it ends: the page then shown, and how the load ended. A failed load
// shows the engine's error page: an empty document. A load that brings none is one the test
// never set.
struct FakeLoad
{
    std::shared_ptr<FakeDocument> document;
    LoadInfo outcome{platform::LoadOutcome::Succeeded, 200, {}, {}};
};

class FakeBrowser final : public platform::BrowserControl
{
    Q_OBJECT
public:
    explicit FakeBrowser(QWidget* parent = nullptr) : m_widget(new QWidget(parent)) {}

    // --- State a test sets ---
    // The page shown from now on, at `url` (what url() gives: the page's address).
    void setDocument(std::shared_ptr<FakeDocument> document, const QUrl& url = {})
    {
        m_document = std::move(document);
        m_url = url;
    }
    void setReadyState(ReadyState state) { m_readyState = state; }
    // A load of the page now shown, ended; each call is a new load (a higher serial), and a load
    // under way never reports.
    void setLastLoad(LoadInfo load)
    {
        load.serial = ++m_loads;
        m_lastLoad = std::move(load);
        m_pendingLoad.reset();
    }
    // A load starts, as the engine reports it: Loading now (a higher serial), ending with `load`
    // shown when the event loop next runs (finishLoad()).
    void startLoad(FakeLoad load) { begin(load.outcome.url, std::move(load)); }
    // The load under way ends as the engine reports it (the page it brings, Complete, the
    // document completes), and the page's fetches are answered.
    void finishLoad();

    // What the site shows at each address: a navigation there ends with it; one to an address
    // missing here is fatal once it ends. A reload of an address missing here shows the same
    // document again, loaded.
    QHash<QUrl, FakeLoad> pages;
    // Runs inside the next walks, as events that arrive while a real walk waits would.
    std::function<void()> duringWalk;
    // A page whose script never answers: every call into it gets no answer.
    bool hung = false;
    // What the site answers the page's fetches, delivered when the event loop runs after the
    // request (finishLoad()).
    std::optional<platform::FetchAnswer> fetchReply;
    // What the site answers a fetch of a given address, when not `fetchReply` (nothing: that).
    std::function<std::optional<platform::FetchAnswer>(const QUrl&)> answerFetch;
    int fetches = 0;
    QList<QUrl> fetchedUrls; // what the fetches asked for, in order
    // replayVideo() calls, answered or not.
    int replays = 0;

    // --- What happened ---
    QList<QUrl> navigations;
    int refreshCount = 0;
    std::optional<bool> silent;
    // One entry per click: the element's id, else "<tag>#<position in its collection>".
    QStringList clickLog;

    // --- Raising the control's events ---
    void completeDocument() { emit documentLoaded(QUrl(QStringLiteral("about:fake"))); }
    // A page asks for a new window; returns the control that the handler chose.
    BrowserControl* requestNewWindow() { return m_newWindow ? m_newWindow() : nullptr; }

    QWidget* widget() override { return m_widget; }
    bool hasDocument() const override { return required(m_document, "a document") != nullptr; }
    ReadyState readyState() const override { return required(m_readyState, "the ready state"); }
    LoadInfo lastLoad() const override { return required(m_lastLoad, "how the last load ended"); }
    // about:blank shows an empty page, as in the engine, unless the test set another.
    void navigate(const QUrl& url) override
    {
        navigations.append(url);
        FakeLoad load = pages.value(url);
        if (!load.document && url == QUrl(QStringLiteral("about:blank")))
            load.document = std::make_shared<FakeDocument>();
        begin(url, std::move(load));
    }
    void refresh() override;
    void setSilent(bool value) override { silent = value; }
    QUrl url() const override { return m_url; }
    WalkResult walk(const platform::WalkRequest& request) override;
    WalkResult resolve(const platform::FramePath& frames) override;
    platform::DocumentInfo document(const platform::FramePath& frames) override;
    int fetch(const QUrl& url) override;
    platform::FetchAnswer fetchAnswer(int ticket) override;
    platform::MediaReport mediaErrors() override;
    // As the engine's: the lesson's medium starts again from its beginning and plays.
    bool replayVideo() override;
    // As the engine's: a button, link or input button (by its value), or an element with an
    // onclick, not hidden, with a text of 1 to 12 characters; its onClick runs.
    QString clickControl(const QStringList& texts) override;
    // Its elements' texts, a line each, as the body's innerText gives them.
    QString pageText(int maxChars) override;
    void setNewWindowHandler(NewWindowHandler handler) override { m_newWindow = handler; }

private:
    // Loading now, as the engine reports a top-level load of `url` begun; `load` is shown when
    // it ends.
    void begin(const QUrl& url, FakeLoad load);
    // The document of the lesson's medium: the first, in document order, that shows a video (or
    // reports mediaErrors), else the first that shows an audio element; null for none.
    std::shared_ptr<FakeDocument> withLessonVideo();
    // The documents of the page shown, as the engine reaches them: each before its frames.
    QList<std::shared_ptr<FakeDocument>> documents();
    // The document at `frames`; null when there is none.
    std::shared_ptr<FakeDocument> reach(const platform::FramePath& frames);
    // The value a test set; fatal when it set none.
    template <typename T> static T required(const std::optional<T>& value, const char* what)
    {
        if (!value)
            qFatal("FakeBrowser: the test never set %s", what);
        return *value;
    }

    QWidget* m_widget;
    std::optional<std::shared_ptr<FakeDocument>> m_document;
    std::optional<ReadyState> m_readyState;
    std::optional<LoadInfo> m_lastLoad;
    std::optional<FakeLoad> m_pendingLoad; // the load under way
    std::map<int, platform::FetchAnswer> m_fetches;
    QUrl m_url;
    int m_loads = 0;
    NewWindowHandler m_newWindow;
};

} // namespace lumora::testing
