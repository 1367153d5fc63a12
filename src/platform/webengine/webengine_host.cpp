#include "platform/webengine/webengine_host.h"

#include "platform/folder_disposal.h"
#include "platform/logging.h"
#include "platform/webengine/browser_page.h"
#include "platform/webengine/profile_generations.h"
#include "platform/webengine/script_call.h"
#include "platform/webengine/webengine_browser.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <array>
#include <optional>
#include <utility>

namespace lumora::platform::webengine {

namespace {

// How long a retired profile is kept after its pages were deleted, and how long after that its
// directory is removed: the engine finishes tearing down and flushing in the background.
constexpr int kRetireProfileDelayMs = 500;
constexpr int kRemoveDirectoryDelayMs = 1500;
// How often a full clear retries while a view is busy (waiting for a page or in a handler).
constexpr int kSwapRetryMs = 20;
// How long a canPlayType() question may take, start of a renderer included.
constexpr int kProbeTimeoutMs = 30000;

// Present when a cache clear was asked for while the cache was in use: done at the next start.
constexpr QLatin1String kClearCacheMarker("clear-cache-at-start");

QString readResource(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

QString randomTag()
{
    // Whole quint32 words: generating straight into chars narrows each one (C4244 on MSVC).
    std::array<quint32, 4> words{};
    QRandomGenerator::system()->generate(words.begin(), words.end());
    const QByteArray bytes(reinterpret_cast<const char*>(words.data()), sizeof(words));
    return QStringLiteral("lumora:") + QString::fromLatin1(bytes.toHex());
}

QWebEngineScript makeScript(const char* name, const QString& source,
                            QWebEngineScript::ScriptWorldId world, bool subFrames)
{
    QWebEngineScript script;
    script.setName(QLatin1String(name));
    script.setSourceCode(source);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(world);
    script.setRunsOnSubFrames(subFrames);
    return script;
}

// When a page's isolated-world scripts join it.
enum class IsolatedScripts
{
    FromFirstDocument,
    AfterFirstLoad
};

} // namespace

struct WebEngineHost::Impl
{
    WebEngineHost* q = nullptr;
    QString root;
    QString nameStem; // unique per storage root, so two hosts never share a profile name
    std::shared_ptr<BrowserEnvironment> env = std::make_shared<BrowserEnvironment>();
    QString frameEventsSource;
    QString frameVideoSource;
    QString windowCloseSource;
    QString foregroundSource;
    QString openShadowSource;
    int generation = 1;
    std::optional<int> recordedGeneration; // what the generation file said at construction
    QWebEngineProfile* profile = nullptr;  // made by start()
    QList<QPointer<WebEngineBrowser>> browsers;
    QList<QPointer<QWebEngineProfile>> retiring;
    QList<QPointer<QWebEnginePage>> probes; // canPlayType() pages; they go before their profile
    bool swapPending = false;
    bool cacheCleared = false; // clearCache() works once a run
    FolderDisposal disposal;   // last to go: it waits for its deletions

    QString cachePathOf(int gen) const
    {
        return QDir(generationPath(root, gen)).filePath(QStringLiteral("cache"));
    }

    QWebEngineProfile* makeProfile(int gen)
    {
        const QString path = generationPath(root, gen);
        QDir().mkpath(path);
        const QString cachePath = cachePathOf(gen);
        if (QFile::exists(QDir(root).filePath(kClearCacheMarker))) {
            disposal.dispose(cachePath);
            QFile::remove(QDir(root).filePath(kClearCacheMarker));
        }
        env->profileInUse = false;
        auto* created = new QWebEngineProfile(nameStem + QString::number(gen), q);
        created->setPersistentStoragePath(QDir(path).filePath(QStringLiteral("storage")));
        created->setCachePath(cachePath);
        created->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
        created->setPersistentCookiesPolicy(QWebEngineProfile::AllowPersistentCookies);

        QWebEngineSettings* settings = created->settings();
        // Pop-ups come from synthetic clicks and script, and a lesson's video is started again by
        // script (replayVideo): no user gesture is ever present. The same settings in Qt 6.4 and
        // 6.8; every page of the profile inherits them, new windows included.
        settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
        settings->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
        settings->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);

        return created;
    }

    // A page of the current profile for `browser`, with the layer's scripts.
    // WORKAROUND (Qt 6.4.2, re-check on upgrade): a page whose renderer crashed or was killed
    // no longer gets the profile's scripts in any later document, whatever it loads; the
    // page's own scripts it keeps. Hence the scripts go to every page, not to the profile.
    BrowserPage* makePage(WebEngineBrowser* browser,
                          IsolatedScripts isolated = IsolatedScripts::FromFirstDocument)
    {
        auto* page = new BrowserPage(profile, browser);
        page->scripts().insert(
            {makeScript(kWindowCloseScriptName, windowCloseSource, QWebEngineScript::MainWorld,
                        false),
             makeScript(kForegroundScriptName, foregroundSource, QWebEngineScript::MainWorld, true),
             makeScript(kOpenShadowScriptName, openShadowSource, QWebEngineScript::MainWorld,
                        true)});
        if (isolated == IsolatedScripts::FromFirstDocument)
            page->scripts().insert(isolatedWorldScripts());
        return page;
    }

    QList<QWebEngineScript> isolatedWorldScripts() const
    {
        return {
            makeScript(kWalkScriptName, env->walkSource, QWebEngineScript::ApplicationWorld, false),
            makeScript(kFrameEventsScriptName, frameEventsSource,
                       QWebEngineScript::ApplicationWorld, true),
            makeScript(kFrameVideoScriptName, frameVideoSource, QWebEngineScript::ApplicationWorld,
                       true)};
    }

    QList<WebEngineBrowser*> liveBrowsers()
    {
        browsers.removeAll(QPointer<WebEngineBrowser>());
        QList<WebEngineBrowser*> out;
        for (const auto& browser : std::as_const(browsers))
            out.append(browser.data());
        return out;
    }

    // Swaps at once when no view is busy, so that what the caller does next already meets the
    // new profile; otherwise as soon as the views are free.
    void requestSwap()
    {
        if (swapPending)
            return;
        swapPending = true;
        swapProfile();
    }

    // Moves every view to a fresh profile generation and retires the old one. Pages may only
    // be deleted when no view is inside a wait or a handler (those run inside page signals).
    void swapProfile()
    {
        if (env->busy > 0) {
            QTimer::singleShot(kSwapRetryMs, q, [this] { swapProfile(); });
            return;
        }
        swapPending = false;

        endProbes();
        QWebEngineProfile* old = profile;
        const int oldGeneration = generation;
        ++generation;
        QDir(generationPath(root, generation)).removeRecursively();
        writeGeneration(root, generation); // on failure the next start goes back; ignored
        profile = makeProfile(generation);

        for (WebEngineBrowser* browser : liveBrowsers()) {
            // Visible views show their page again; hidden ones stay empty.
            const QUrl previous = browser->shownOrRequestedUrl();
            const bool showAgain = browser->viewVisible() && previous.isValid() &&
                                   !previous.isEmpty() &&
                                   previous.scheme() != QLatin1String("about");
            browser->attachPage(makePage(browser));
            if (showAgain)
                browser->navigate(previous);
        }
        retire(old, oldGeneration);
        emit q->everythingCleared();
    }

    void endProbes()
    {
        for (const auto& probe : std::as_const(probes))
            delete probe.data();
        probes.clear();
    }

    void retire(QWebEngineProfile* old, int oldGeneration)
    {
        retiring.append(old);
        const QPointer<QWebEngineProfile> guard(old);
        const QString path = generationPath(root, oldGeneration);
        QTimer::singleShot(kRetireProfileDelayMs, q, [this, guard, path] {
            retiring.removeAll(guard);
            delete guard.data();
            QTimer::singleShot(kRemoveDirectoryDelayMs, q,
                               [path] { QDir(path).removeRecursively(); });
        });
    }
};

WebEngineHost::WebEngineHost(const QString& storageRoot, int scriptTimeoutMs,
                             ProcessEnder endProcess)
    : d(std::make_unique<Impl>())
{
    d->q = this;
    d->root = QDir(storageRoot).absolutePath();
    QDir().mkpath(d->root);
    d->nameStem =
        QStringLiteral("lumora-") +
        QString::fromLatin1(
            QCryptographicHash::hash(d->root.toUtf8(), QCryptographicHash::Sha1).toHex().left(12)) +
        QStringLiteral("-gen");

    d->env->scriptTimeoutMs = std::max(1, scriptTimeoutMs);
    d->env->endProcess = std::move(endProcess);
    d->recordedGeneration = readGeneration(d->root);
    d->generation = d->recordedGeneration.value_or(1);
}

WebEngineHost::~WebEngineHost()
{
    // Pages first: a profile must outlive its pages.
    for (WebEngineBrowser* browser : d->liveBrowsers())
        browser->detachPage();
    d->endProbes();
    delete d->profile;
    for (const auto& old : std::as_const(d->retiring))
        delete old.data();
}

void WebEngineHost::start()
{
    if (d->profile)
        return;
    d->env->frameEventTag = randomTag();
    d->env->frameVideoTag = randomTag();
    d->env->windowCloseTag = randomTag();
    // The walk's functions, then the media report's, which complete them.
    for (const char* part : {"walk.js", "media_sources.js", "media.js"})
        d->env->walkSource +=
            readResource(QStringLiteral(":/lumora/js/") + QLatin1String(part)) + QLatin1Char('\n');
    // The injected scripts are function expressions; the tag goes in as an escaped literal.
    d->frameEventsSource = readResource(QStringLiteral(":/lumora/js/frame_events.js")).trimmed() +
                           QLatin1Char('(') + scriptLiteral(d->env->frameEventTag) +
                           QStringLiteral(");");
    // Subframes only (the top document has walk.js of its own): the page-side functions, then the
    // reporter that uses them.
    d->frameVideoSource =
        QStringLiteral("if (window.top !== window) {\n") + d->env->walkSource + QLatin1Char('\n') +
        readResource(QStringLiteral(":/lumora/js/frame_video.js")).trimmed() + QLatin1Char('(') +
        scriptLiteral(d->env->frameVideoTag) + QStringLiteral(");\n}");
    d->windowCloseSource = readResource(QStringLiteral(":/lumora/js/window_close.js")).trimmed() +
                           QLatin1Char('(') + scriptLiteral(d->env->windowCloseTag) +
                           QStringLiteral(");");
    d->foregroundSource = readResource(QStringLiteral(":/lumora/js/foreground.js"));
    d->openShadowSource = readResource(QStringLiteral(":/lumora/js/open_shadow.js")).trimmed() +
                          QLatin1Char('(') + scriptLiteral(randomTag()) + QStringLiteral(");");

    removeOtherGenerations(d->root, d->generation);
    // Written only when missing: a save is flushed to the disk, which takes time at every start.
    if (!d->recordedGeneration)
        writeGeneration(d->root, d->generation);
    d->profile = d->makeProfile(d->generation);

    for (WebEngineBrowser* browser : d->liveBrowsers()) {
        // The first page a view was asked for goes without the isolated world's scripts: creating
        // that world in a renderer just started costs about a fifth of the page's load, and the
        // login page needs none of them (the walk installs itself at the first call).
        const QUrl waiting = browser->takeWaitingUrl();
        browser->attachPage(d->makePage(browser, waiting.isEmpty()
                                                     ? IsolatedScripts::FromFirstDocument
                                                     : IsolatedScripts::AfterFirstLoad));
        if (waiting.isEmpty())
            continue;
        browser->insertScriptsAfterLoad(d->isolatedWorldScripts());
        browser->navigate(waiting);
    }
}

std::unique_ptr<BrowserControl> WebEngineHost::createBrowser(QWidget* parent)
{
    start();
    return createWaitingBrowser(parent);
}

std::unique_ptr<BrowserControl> WebEngineHost::createWaitingBrowser(QWidget* parent)
{
    auto browser = std::make_unique<WebEngineBrowser>(d->env);
    if (d->profile)
        browser->attachPage(d->makePage(browser.get()));
    d->browsers.append(browser.get());
    browser->showIn(parent);
    return browser;
}

void WebEngineHost::canPlayType(const QString& mimeType, std::function<void(bool)> done)
{
    start();
    auto* page = new QWebEnginePage(d->profile, this);
    d->probes.removeAll(QPointer<QWebEnginePage>());
    d->probes.append(page);
    const QString question = QStringLiteral("document.createElement('video').canPlayType(%1)")
                                 .arg(scriptLiteral(mimeType));
    auto* timeout = new QTimer(page);
    timeout->setSingleShot(true);
    connect(timeout, &QTimer::timeout, page, [page, mimeType] {
        qCWarning(lcEngine) << "no answer whether the engine plays" << mimeType;
        page->deleteLater();
    });
    connect(page, &QWebEnginePage::loadFinished, page, [page, question, mimeType, done] {
        page->runJavaScript(question, QWebEngineScript::ApplicationWorld,
                            [page, mimeType, done](const QVariant& answer) {
                                if (answer.typeId() != QMetaType::QString)
                                    return; // the page went first
                                qCInfo(lcEngine).nospace()
                                    << "canPlayType(" << mimeType << "): " << answer.toString();
                                page->deleteLater();
                                done(!answer.toString().isEmpty());
                            });
    });
    timeout->start(kProbeTimeoutMs);
    page->setHtml(QStringLiteral("<title>probe</title>"));
}

// WORKAROUND (Qt 6.4.2, re-check on upgrade): QWebEngineProfile::clearHttpCache() can leave
// every later load of the profile waiting forever (seen when called before the first load, and
// on a second call). The cache is a plain directory that the engine opens on first use: before
// that it is set aside and deleted in the background; once in use, that waits for the next start.
void WebEngineHost::clearCache()
{
    if (std::exchange(d->cacheCleared, true))
        return;
    if (!d->env->profileInUse) {
        d->disposal.dispose(d->cachePathOf(d->generation));
        return;
    }
    QFile marker(QDir(d->root).filePath(kClearCacheMarker));
    if (marker.open(QIODevice::WriteOnly))
        marker.close();
}

void WebEngineHost::clearEverything()
{
    start();
    // Cookies and visited links go at once. WORKAROUND (Qt 6.4.2): Qt has no call that drops
    // site storage (local storage, IndexedDB, service workers), which only goes with the
    // profile's directory, hence the new generation.
    d->profile->cookieStore()->deleteAllCookies();
    d->profile->clearAllVisitedLinks();
    d->requestSwap();
}

int WebEngineHost::scriptTimeoutMs() const
{
    return d->env->scriptTimeoutMs;
}

QString WebEngineHost::profilePath() const
{
    return generationPath(d->root, d->generation);
}

} // namespace lumora::platform::webengine
