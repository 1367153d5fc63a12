#include "engine_fixture.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace lumora::testing {

std::unique_ptr<platform::Timer> EnginePlatform::createTimer()
{
    auto created = std::make_unique<FakeTimer>();
    timer = created.get();
    return created;
}

namespace {

site::SiteOptions siteOptions()
{
    site::SiteOptions options;
    options.port = 0;
    options.heartbeatMs = 500;
    return options;
}

} // namespace

SiteFixture::SiteFixture() : server(siteOptions())
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
