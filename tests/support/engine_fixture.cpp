#include "engine_fixture.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace lumora::testing {

// A free port, players that report twice a second, and a clock the test can move on.
SiteFixture::SiteFixture()
    : server(site::SiteOptions{.port = 0, .heartbeatMs = 500, .clockMs = [this] {
                                   using namespace std::chrono;
                                   const auto now = steady_clock::now().time_since_epoch();
                                   return duration_cast<milliseconds>(now).count() +
                                          m_skewMs.load();
                               }})
{
    port = server.start();
    if (port <= 0)
        qFatal("SiteFixture: the stand-in site did not start: %s", server.lastError().c_str());
}

QUrl SiteFixture::url(const QString& pathAndQuery) const
{
    return QUrl(QString::fromStdString(server.baseUrl()) + pathAndQuery);
}

QList<QJsonObject> SiteFixture::events(const QString& kind) const
{
    const QJsonDocument doc =
        QJsonDocument::fromJson(QByteArray::fromStdString(server.eventsJson()));
    QList<QJsonObject> found;
    for (const QJsonValue& v : doc.object().value(QStringLiteral("events")).toArray()) {
        const QJsonObject event = v.toObject();
        if (kind.isEmpty() || event.value(QStringLiteral("kind")).toString() == kind)
            found.append(event);
    }
    return found;
}

} // namespace lumora::testing
