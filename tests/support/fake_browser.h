#pragma once

// An in-memory browser control for unit tests: documents with frames and elements, scriptable
// reactions to clicks, and a ready state. It fails loudly (qFatal) when a handler reads state
// the test never set, so a test cannot pass by accident on a default.

#include "platform/browser_control.h"

#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

namespace lumora::testing {

class FakeDocument;

struct FakeElement
{
    QString tag; // lower-case, e.g. "a", "input"; tagName reads it upper-case like HTML
    QString name;
    QString type;
    QString value;
    QString innerText;
    QString onclick;
    QString id; // for the click log
    // What the page does when the element is clicked; may change the document.
    std::function<void(FakeDocument&)> onClick;
};

class FakeDocument
{
public:
    // Appends an element in document order and returns its index among all elements.
    FakeElement& add(FakeElement element);
    FakeElement& link(const QString& text, const QString& onclick = {});
    FakeElement& input(const QString& name, const QString& type = {}, const QString& value = {});
    FakeElement& listItem(const QString& text);

    // Elements of one tag (case-insensitive), or all of them for an empty tag, as indexes
    // into elements(), in document order.
    QList<int> collection(const QString& tag) const;

    QList<FakeElement>& elements() { return m_elements; }
    const QList<FakeElement>& elements() const { return m_elements; }
    // Frames in document order; a null frame is a frame without a document.
    QList<std::shared_ptr<FakeDocument>>& frames() { return m_frames; }

    // The first element with this id; fatal when there is none.
    FakeElement& byId(const QString& id);

private:
    QList<FakeElement> m_elements;
    QList<std::shared_ptr<FakeDocument>> m_frames;
};

// A document with `count` frames, the fourth being `course`, as the site's pages are built.
std::shared_ptr<FakeDocument> framedPage(std::shared_ptr<FakeDocument> course, int count = 4);

class FakeBrowser final : public platform::BrowserControl
{
    Q_OBJECT
public:
    explicit FakeBrowser(QWidget* parent = nullptr);
    ~FakeBrowser() override;

    // --- State a test sets ---
    void setDocument(std::shared_ptr<FakeDocument> document);
    void setNoDocument();
    void setReadyState(platform::ReadyState state);
    // A load of the page now shown; each call is a new load (a higher serial).
    void setLastLoad(platform::LoadInfo load)
    {
        load.serial = ++m_loads;
        m_lastLoad = std::move(load);
    }
    std::shared_ptr<FakeDocument> document() const;

    // Runs inside the next walks, as events that arrive while a real walk waits would.
    std::function<void()> duringWalk;

    // --- What happened ---
    QList<QUrl> navigations;
    int refreshCount = 0;
    std::optional<bool> silent;
    int walkCount = 0;
    // One entry per click: "<tag>#<position in its collection>@<frames>" or the element's id.
    QStringList clickLog;

    // --- Raising the control's events ---
    void completeDocument() { emit documentComplete(QUrl(QStringLiteral("about:fake"))); }
    void closeWindowByScript() { emit windowClosing(); }
    // A page asks for a new window; returns the control that the handler chose.
    BrowserControl* requestNewWindow();

    // --- BrowserControl ---
    QWidget* widget() override { return m_widget; }
    bool hasDocument() const override;
    platform::ReadyState readyState() const override;
    platform::LoadInfo lastLoad() const override;
    void navigate(const QUrl& url) override;
    void refresh() override { ++refreshCount; }
    void setSilent(bool value) override { silent = value; }
    QUrl url() const override;
    platform::WalkResult walk(const platform::WalkRequest& request) override;
    platform::WalkResult resolve(const platform::FramePath& frames) override;
    void setNewWindowHandler(NewWindowHandler handler) override
    {
        m_newWindow = std::move(handler);
    }

private:
    FakeDocument* documentAt(const platform::FramePath& frames, QString& error) const;

    QWidget* m_widget;
    bool m_documentSet = false;
    std::shared_ptr<FakeDocument> m_document;
    std::optional<platform::ReadyState> m_readyState;
    std::optional<platform::LoadInfo> m_lastLoad;
    int m_loads = 0;
    NewWindowHandler m_newWindow;
};

} // namespace lumora::testing
