#include "app/start_watch.h"

#include "page/login_form.h"
#include "platform/logging.h"

namespace lumora::app {

using platform::LoadOutcome;
using platform::NoAnswer;

QString startTroubleText(const platform::LoadInfo& load)
{
    QString why;
    if (load.outcome == LoadOutcome::HttpError) {
        why = StartWatch::tr("网站暂时无法使用（网站回答 %1）").arg(load.httpStatus);
    } else if (load.outcome == LoadOutcome::RendererGone) {
        why = StartWatch::tr("网页意外关闭");
    } else {
        switch (load.noAnswer) {
        case NoAnswer::Refused:
            why = StartWatch::tr("网站拒绝连接");
            break;
        case NoAnswer::NoSuchHost:
            why = StartWatch::tr("找不到这个网站（网址有误，或电脑没有连上网络）");
            break;
        case NoAnswer::TimedOut:
            why = StartWatch::tr("网站长时间没有响应");
            break;
        case NoAnswer::Certificate:
            why = StartWatch::tr("网站的安全证书无效");
            break;
        default:
            why = StartWatch::tr("网站没有响应");
            break;
        }
    }
    return StartWatch::tr("无法打开 %1：%2。请检查网络或网站地址（菜单“网站地址…”）。"
                          "程序每 30 秒自动重试。")
        .arg(load.url.toDisplayString(QUrl::RemoveQuery | QUrl::RemovePath), why);
}

StartWatch::StartWatch(platform::EventGate& gate, page::BrowserViews& views,
                       session::SiteSession& session, std::unique_ptr<platform::Timer> timer)
    : m_views(views), m_session(session), m_retry(std::move(timer))
{
    m_retry->setInterval(kRetryMs);
    m_retry->setEnabled(false);
    connect(&views.main(), &platform::BrowserControl::documentLoaded, this,
            [this, &gate] { gate.dispatch([this] { onMainPageLoaded(); }); });
    connect(&session, &session::SiteSession::coursePageRecognised, this, &StartWatch::stop);
    connect(m_retry.get(), &platform::Timer::tick, this, [this, &gate] {
        gate.dispatch([this] {
            m_retry->setEnabled(false);
            if (m_watching)
                m_views.main().navigate(m_session.loginPage());
        });
    });
}

StartWatch::~StartWatch() = default;

void StartWatch::open()
{
    m_watching = true;
    m_retry->setEnabled(false);
    m_views.main().navigate(m_session.loginPage());
}

void StartWatch::onMainPageLoaded()
{
    if (!m_watching)
        return;
    if (page::showsLoginPage(m_views.main()))
        return stop();
    const platform::LoadInfo load = m_views.main().lastLoad();
    if (load.outcome == LoadOutcome::Succeeded || load.outcome == LoadOutcome::Loading)
        return; // another page of the site, or a frame of one still loading
    qCWarning(lcPage) << "the login page did not load:" << load.error << "; again in"
                      << kRetryMs / 1000 << "s";
    emit trouble(startTroubleText(load));
    m_retry->setEnabled(true);
}

void StartWatch::stop()
{
    if (!std::exchange(m_watching, false))
        return;
    m_retry->setEnabled(false);
    emit trouble({});
}

} // namespace lumora::app
