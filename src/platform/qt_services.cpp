#include "platform/qt_services.h"

#include "platform/logging.h"

#include <QDateTime>
#include <QEventLoop>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QPushButton>

namespace lumora::platform {

QtClock::QtClock()
{
    m_elapsed.start(); // QElapsedTimer uses the system's monotonic clock
}

std::chrono::milliseconds QtClock::now() const
{
    return std::chrono::milliseconds(m_elapsed.elapsed());
}

std::chrono::milliseconds QtClock::wallNow() const
{
    return std::chrono::milliseconds(QDateTime::currentMSecsSinceEpoch());
}

void QtClock::processEventsUntil(std::chrono::milliseconds deadline)
{
    const qint64 remaining = (deadline - now()).count();
    if (remaining <= 0)
        return;
    // Sleeps in the event loop instead of spinning; every event is delivered meanwhile.
    QEventLoop loop;
    // A coarse timer may fire up to 5% late: 12 ms on each 250 ms look of a category's opening.
    QTimer::singleShot(static_cast<int>(remaining), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

QtTimer::QtTimer()
{
    // QTimer does not fire again while its timeout handler runs, nested event loops included.
    connect(&m_timer, &QTimer::timeout, this, &Timer::tick);
}

void QtTimer::setEnabled(bool enabled)
{
    // Enabling a running timer leaves it running on its current period.
    if (enabled && !m_timer.isActive())
        m_timer.start();
    else if (!enabled)
        m_timer.stop();
}

namespace {
constexpr int kProbeTimeoutMs = 15000;
}

QtSiteProbe::QtSiteProbe()
{
    QNetworkProxyFactory::setUseSystemConfiguration(true);
}

void QtSiteProbe::check(const QUrl& url)
{
    if (m_reply)
        return; // still waiting: its answer (or its timeout) comes first
    QNetworkRequest request(url);
    request.setTransferTimeout(kProbeTimeoutMs);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    QNetworkReply* reply = m_network.head(request);
    m_reply = reply;
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply] {
        // A 4xx is an answer from a site that serves (a HEAD it does not allow, say); a 5xx is
        // a site that is there but not serving: maintenance, a failed backend.
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        const Answer answer = !status.isValid()       ? Answer::Unreachable
                              : status.toInt() >= 500 ? Answer::Troubled
                                                      : Answer::Reachable;
        if (answer != m_last && answer != Answer::Reachable)
            qCInfo(lcStudy) << "the site does not serve:" << status.toInt() << reply->errorString();
        m_last = answer;
        reply->deleteLater();
    });
}

void QtDialogs::message(const QString& text, const QString& title, MessageIcon icon)
{
    QMessageBox box(icon == MessageIcon::Information ? QMessageBox::Information
                                                     : QMessageBox::NoIcon,
                    title, text, QMessageBox::Ok, m_parent);
    box.exec();
}

std::optional<QString> QtDialogs::askText(const QString& title, const QString& label,
                                          const QString& text)
{
    QInputDialog box(m_parent);
    box.setWindowTitle(title);
    box.setLabelText(label);
    box.setTextValue(text);
    // Room for a whole site address.
    box.resize(box.fontMetrics().averageCharWidth() * 60, box.sizeHint().height());
    if (box.exec() != QDialog::Accepted)
        return std::nullopt;
    return box.textValue();
}

std::optional<QString> QtDialogs::askSavePath(const QString& title, const QString& suggested,
                                              const QString& filter)
{
    const QString path = QFileDialog::getSaveFileName(m_parent, title, suggested, filter);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

int QtDialogs::choose(const QString& text, const QString& title, const QStringList& answers)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, m_parent);
    QList<QAbstractButton*> buttons;
    for (qsizetype i = 0; i < answers.size(); ++i) {
        const bool last = i + 1 == answers.size();
        buttons.append(
            box.addButton(answers.at(i), last ? QMessageBox::RejectRole : QMessageBox::AcceptRole));
    }
    if (!buttons.isEmpty()) {
        box.setDefaultButton(qobject_cast<QPushButton*>(buttons.constFirst()));
        box.setEscapeButton(buttons.constLast());
    }
    box.exec();
    const qsizetype chosen = buttons.indexOf(box.clickedButton());
    return chosen < 0 ? int(answers.size()) - 1 : int(chosen);
}

} // namespace lumora::platform
