#pragma once

// The blocking call into a page: a script sent to the page's isolated world, and a wait for its
// answer that tells apart a value, no answer in time, and a page or document that went away.
// (Whether what the page was asked for was there is read from the value: page_request.h.)

#include "platform/page_request.h"

#include <QPointer>
#include <QString>
#include <memory>
#include <vector>

class QEventLoop;
class QWebEnginePage;

namespace lumora::platform::webengine {

struct ScriptAnswer
{
    PageStatus status = PageStatus::Ok; // Ok, NoAnswer or PageGone
    QString text;                       // the script's value when Ok
    QString error;
};

// One call waiting for its answer. Shared between the waiting caller and the engine's callback,
// which may run late (after a timeout), while the page is being destroyed, or never.
class PendingCall
{
public:
    PendingCall(int loadsStarted, bool sentWhileLoading)
        : m_loadsStarted(loadsStarted), m_sentWhileLoading(sentWhileLoading)
    {
    }
    // The first outcome counts; later ones are ignored.
    void finish(PageStatus status, const QString& text, const QString& error);
    bool finished() const { return m_finished; }
    // Whether the call may have gone with a document that has been replaced since it was sent:
    // it went to a document still loading, or a later load has started.
    bool stale(int loadsStarted) const
    {
        return m_sentWhileLoading || m_loadsStarted < loadsStarted;
    }

private:
    friend ScriptAnswer runAndWait(QWebEnginePage&, const QString&,
                                   const std::shared_ptr<PendingCall>&, int);
    int m_loadsStarted;
    bool m_sentWhileLoading;
    bool m_finished = false;
    ScriptAnswer m_answer{PageStatus::NoAnswer, {}, {}};
    QPointer<QEventLoop> m_loop;
};

// The calls a view has in flight, so that it can fail them when their page or document goes.
class PendingCalls
{
public:
    std::shared_ptr<PendingCall> add(int loadsStarted, bool sentWhileLoading);
    void failAll(PageStatus status, const QString& error);
    // Fails the calls that may have gone with a replaced document (PendingCall::stale).
    void failStale(int loadsStarted);
    // Forgets the calls that have ended.
    void prune();

private:
    std::vector<std::weak_ptr<PendingCall>> m_calls;
};

// Sends `script` to `page`'s isolated world and waits until `call` is finished: by the page's
// answer (a string is Ok, anything else means the document went away: PageGone), after
// `timeoutMs` (NoAnswer), or from outside, by PendingCalls. Input events wait; other events run
// meanwhile, so `page` may be gone when this returns.
ScriptAnswer runAndWait(QWebEnginePage& page, const QString& script,
                        const std::shared_ptr<PendingCall>& call, int timeoutMs);

} // namespace lumora::platform::webengine
