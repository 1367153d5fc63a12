#pragma once

// A client of the stand-in training site for its tests: an in-process site on a free loopback
// port with a clock the test moves, or a client of a running lumora-site.

#include "site_server.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringConverter>

#include <httplib.h>

#include <atomic>
#include <memory>
#include <string>

namespace lumora::site::test {

using namespace Qt::StringLiterals;

struct Reply
{
    int status = 0; // 0 when nothing answered
    QByteArray body;
    std::string cookie; // "JSESSIONID=..." when the answer set one
    std::string type;   // its Content-Type
    QString text(const char* charset = "GBK") const { return QStringDecoder(charset)(body); }
    QJsonValue json(const QString& key) const { return QJsonDocument::fromJson(body)[key]; }
    QString player() const { return text().section(u"data-player=\""_s, 1).section(u'"', 0, 0); }
};

// The `tag` elements of a page in document order, outside scripts: (attributes, text).
inline QList<std::pair<QString, QString>> elements(QString html, const QString& tag)
{
    html.remove(QRegularExpression(u"(?s)<script\\b.*?</script>"_s));
    QList<std::pair<QString, QString>> found;
    const QRegularExpression element(u"(?s)<%1\\b([^>]*)>(.*?)</%1>"_s.arg(tag));
    for (const QRegularExpressionMatch& match : element.globalMatch(html))
        found.append({match.captured(1), match.captured(2)});
    return found;
}

// A site on a free loopback port with a clock the test moves, or a client of one running.
// After a login its requests carry the session's cookie.
struct Site
{
    explicit Site(SiteOptions options = {})
    {
        options.port = 0;
        options.clockMs = [this] { return now.load(); };
        server = std::make_unique<SiteServer>(std::move(options));
        port = server->start();
    }
    explicit Site(int running) : port(running) {}

    Reply send(bool post, const QString& path, const std::string& body = {},
               const char* type = "text/plain") const
    {
        httplib::Client client("127.0.0.1", port);
        client.set_default_headers({{"Cookie", cookie}});
        client.set_read_timeout(60); // long enough to outwait any stall a test makes
        const auto r =
            post ? client.Post(path.toStdString(), body, type) : client.Get(path.toStdString());
        const std::string set = r ? r->get_header_value("Set-Cookie") : std::string();
        return !r ? Reply{}
                  : Reply{r->status, QByteArray::fromStdString(r->body),
                          set.substr(0, set.find(';')), r->get_header_value("Content-Type")};
    }
    Reply get(const QString& path) const { return send(false, path); }
    Reply play(int c, int l) const { return get(u"/player/play?cat=%1&lesson=%2"_s.arg(c).arg(l)); }
    bool login(QByteArray user = "demo", QByteArray password = "demo123", QByteArray code = "ok")
    {
        const QByteArray form = "userName=" + user.toPercentEncoding() +
                                "&Password=" + password.toPercentEncoding() + "&randomCode=" + code;
        const Reply r = send(true, "/permission/loginAction.do?method=login", form.toStdString());
        cookie = r.cookie;
        loginPage = r.text();
        return !cookie.empty();
    }
    Reply beat(int category, int lesson, const QString& player, const std::string& seen = {}) const
    {
        const QString path = u"/player/heartbeat?cat=%1&lesson=%2&player=%3"_s;
        return send(true, path.arg(category).arg(lesson).arg(player), seen);
    }
    // A progress report; `exit`: the one the player's 退出学习 button sends.
    Reply progress(int category, int lesson, const QString& player, const std::string& seen = {},
                   bool exit = false) const
    {
        const QString path = u"/player/progress?cat=%1&lesson=%2&player=%3"_s;
        return send(true, path.arg(category).arg(lesson).arg(player) + (exit ? "&exit=1" : ""),
                    seen);
    }
    QList<QJsonObject> events(const QString& kind) const
    {
        QList<QJsonObject> found;
        for (const QJsonValue e :
             QJsonDocument::fromJson(server->eventsJson().c_str())["events"].toArray())
            if (e["kind"] == kind)
                found.append(e.toObject());
        return found;
    }

    std::atomic<qint64> now{1000};
    std::unique_ptr<SiteServer> server;
    int port = -1;
    std::string cookie;
    QString loginPage; // the last login's answer
};

// What a player reports when its video plays at `seconds`.
inline std::string playing(int seconds)
{
    return R"({"videoPlaying":true,"videoTime":)" + std::to_string(seconds) + "}";
}

} // namespace lumora::site::test
