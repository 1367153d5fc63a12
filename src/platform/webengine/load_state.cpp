#include "platform/webengine/load_state.h"

namespace lumora::platform::webengine {

bool LoadState::loadRequested(const QUrl& url)
{
    if (!m_awaitingStart)
        m_beforeRequest = m_lastLoad;
    m_requestedUrl = url;
    m_hasDocument = true;
    m_readyState = ReadyState::Loading;
    m_awaitingStart = true;
    m_lastLoad = {LoadOutcome::Loading, 0, {}, url, ++m_serial};
    if (m_rendererGone && m_reloadScheduled) {
        m_afterCrash = url;
        return false;
    }
    return true;
}

void LoadState::loadStarted(const QUrl& url)
{
    ++m_loadsStarted;
    // The load asked for keeps its serial; one the page began itself gets a new one.
    const int serial = m_awaitingStart ? m_lastLoad.serial : ++m_serial;
    m_hasDocument = true;
    m_readyState = ReadyState::Loading;
    m_lastLoad = {LoadOutcome::Loading, 0, {}, url.isEmpty() ? m_requestedUrl : url, serial};
    m_awaitingStart = false;
    m_rendererGone = false;
    m_unresponsive = false;
    m_closeReported = false;
}

bool LoadState::loadFinished(const LoadInfo& outcome, bool engineStillLoading)
{
    if (m_awaitingStart) {
        m_beforeRequest = outcome; // still shown if the load asked for never starts
        return false;
    }
    if (m_rendererGone)
        return false; // the load the renderer died in; the reload reports for itself
    if (outcome.outcome != LoadOutcome::Succeeded && engineStillLoading)
        return false;
    m_readyState = ReadyState::Complete;
    m_lastLoad = {outcome.outcome, outcome.httpStatus, outcome.error,
                  outcome.url,     m_lastLoad.serial,  outcome.noAnswer};
    if (outcome.outcome == LoadOutcome::Succeeded)
        m_crashReloads = 0;
    return true;
}

void LoadState::startTimedOut(bool engineLoading)
{
    if (!m_awaitingStart)
        return;
    m_awaitingStart = false;
    if (engineLoading)
        return;
    m_readyState = ReadyState::Complete;
    m_lastLoad = m_beforeRequest;
}

bool LoadState::rendererTerminated()
{
    m_lastLoad.outcome = LoadOutcome::RendererGone;
    m_rendererGone = true;
    m_unresponsive = false;
    m_readyState = ReadyState::Loading;
    if (m_afterCrash.isEmpty()) {
        if (m_crashReloads >= kMaxCrashReloads)
            return false;
        ++m_crashReloads;
    }
    m_reloadScheduled = true;
    return true;
}

std::optional<QUrl> LoadState::reloadDue()
{
    m_reloadScheduled = false;
    if (!m_rendererGone)
        return std::nullopt;
    const QUrl next = std::exchange(m_afterCrash, QUrl());
    if (!next.isEmpty())
        m_awaitingStart = true;
    return next;
}

void LoadState::rendererEnded(const QUrl& next)
{
    m_unresponsive = false;
    m_afterCrash = next;
}

void LoadState::newWindowRoutedIn()
{
    m_hasDocument = true;
    m_readyState = ReadyState::Loading;
    m_lastLoad = {LoadOutcome::Loading, 0, {}, {}, ++m_serial};
    m_awaitingStart = false;
    m_rendererGone = false;
    m_closeReported = false;
}

void LoadState::callEnded(PageStatus status)
{
    if (status == PageStatus::NoAnswer)
        m_unresponsive = true;
    else if (status == PageStatus::Ok)
        m_unresponsive = false;
}

} // namespace lumora::platform::webengine
