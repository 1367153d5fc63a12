#pragma once

// The engine-neutral platform services on Qt: clock, timer and message boxes.

#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/site_probe.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QTimer>

class QNetworkReply;

class QWidget;

namespace lumora::platform {

class QtClock final : public Clock
{
public:
    QtClock();
    std::chrono::milliseconds now() const override;
    std::chrono::milliseconds wallNow() const override;
    void processEventsUntil(std::chrono::milliseconds deadline) override;

private:
    QElapsedTimer m_elapsed;
};

class QtTimer final : public Timer
{
public:
    QtTimer();
    void setInterval(int milliseconds) override { m_timer.setInterval(milliseconds); }
    int interval() const override { return m_timer.interval(); }
    void setEnabled(bool enabled) override;
    bool isEnabled() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
};

// Checks the site with a HEAD request through the system's proxy settings, as the engine reaches
// it; a 5xx answer is Troubled.
class QtSiteProbe final : public SiteProbe
{
public:
    QtSiteProbe();
    void check(const QUrl& url) override;
    Answer lastAnswer() const override { return m_last; }

private:
    QNetworkAccessManager m_network;
    QPointer<QNetworkReply> m_reply;
    Answer m_last = Answer::Unknown;
};

class QtDialogs final : public Dialogs
{
public:
    // Boxes are shown over `parent` once it is set.
    void setParent(QWidget* parent) { m_parent = parent; }
    void message(const QString& text, const QString& title, MessageIcon icon) override;
    std::optional<QString> askText(const QString& title, const QString& label,
                                   const QString& text) override;
    std::optional<QString> askSavePath(const QString& title, const QString& suggested,
                                       const QString& filter) override;
    int choose(const QString& text, const QString& title, const QStringList& answers) override;

private:
    QWidget* m_parent = nullptr;
};

} // namespace lumora::platform
