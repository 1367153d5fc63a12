#include "platform/webengine/page_call.h"

#include <QEventLoop>
#include <QTimer>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <algorithm>

namespace lumora::platform::webengine {

void PendingCall::finish(PageStatus status, const QString& text, const QString& error)
{
    if (m_finished)
        return;
    m_finished = true;
    m_answer = {status, text, error};
    if (m_loop)
        m_loop->quit();
}

std::shared_ptr<PendingCall> PendingCalls::add(int loadsStarted, bool sentWhileLoading)
{
    auto call = std::make_shared<PendingCall>(loadsStarted, sentWhileLoading);
    m_calls.push_back(call);
    return call;
}

void PendingCalls::failAll(PageStatus status, const QString& error)
{
    // A copy: finishing a call only quits its loop, but the list must not change underfoot.
    const auto calls = m_calls;
    for (const auto& weak : calls) {
        if (const auto call = weak.lock())
            call->finish(status, {}, error);
    }
}

void PendingCalls::failStale(int loadsStarted)
{
    const auto calls = m_calls;
    for (const auto& weak : calls) {
        const auto call = weak.lock();
        if (call && call->stale(loadsStarted))
            call->finish(PageStatus::PageGone, {},
                         QStringLiteral("the document was replaced before answering"));
    }
}

void PendingCalls::prune()
{
    std::erase_if(m_calls, [](const std::weak_ptr<PendingCall>& weak) {
        const auto call = weak.lock();
        return !call || call->finished();
    });
}

ScriptAnswer runAndWait(QWebEnginePage& page, const QString& script,
                        const std::shared_ptr<PendingCall>& call, int timeoutMs)
{
    QEventLoop loop;
    call->m_loop = &loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    timeout.setTimerType(Qt::PreciseTimer); // a coarse timer may fire up to 5% early
    QObject::connect(&timeout, &QTimer::timeout, &loop, [call, timeoutMs] {
        call->finish(PageStatus::NoAnswer, {},
                     QStringLiteral("no answer within %1 ms").arg(timeoutMs));
    });

    // The engine hands over an empty value when the page is destroyed or the document went
    // away before the script finished; our scripts always answer with a string.
    page.runJavaScript(script, QWebEngineScript::ApplicationWorld, [call](const QVariant& value) {
        if (value.typeId() == QMetaType::QString)
            call->finish(PageStatus::Ok, value.toString(), {});
        else
            call->finish(PageStatus::PageGone, {}, QStringLiteral("the document went away"));
    });
    timeout.start(timeoutMs);
    if (!call->finished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    call->m_loop = nullptr;
    // The loop was ended from outside (the application is quitting).
    call->finish(PageStatus::NoAnswer, {}, QStringLiteral("the wait was interrupted"));
    return call->m_answer;
}

} // namespace lumora::platform::webengine
