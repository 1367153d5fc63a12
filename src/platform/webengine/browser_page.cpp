#include "platform/webengine/browser_page.h"

#include <QAuthenticator>
#include <QWebEngineCertificateError>
#include <QWebEngineFileSystemAccessRequest>
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
#include <QWebEnginePermission>
#endif

namespace lumora::platform::webengine {

BrowserPage::BrowserPage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent)
{
    // With silent on, a login is cancelled: a null authenticator cancels the request.
    connect(this, &QWebEnginePage::authenticationRequired, this,
            [this](const QUrl&, QAuthenticator* authenticator) {
                if (m_silent && authenticator)
                    *authenticator = QAuthenticator();
            });
    connect(this, &QWebEnginePage::proxyAuthenticationRequired, this,
            [this](const QUrl&, QAuthenticator* authenticator, const QString&) {
                if (m_silent && authenticator)
                    *authenticator = QAuthenticator();
            });
    connect(this, &QWebEnginePage::certificateError, this,
            [](const QWebEngineCertificateError& error) {
                QWebEngineCertificateError copy = error;
                copy.rejectCertificate();
            });
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    connect(this, &QWebEnginePage::permissionRequested, this,
            [](QWebEnginePermission permission) { permission.deny(); });
#else
    connect(this, &QWebEnginePage::featurePermissionRequested, this,
            [this](const QUrl& origin, QWebEnginePage::Feature feature) {
                setFeaturePermission(origin, feature, QWebEnginePage::PermissionDeniedByUser);
            });
#endif
    connect(this, &QWebEnginePage::fileSystemAccessRequested, this,
            [](QWebEngineFileSystemAccessRequest request) { request.reject(); });
}

QWebEnginePage* BrowserPage::createWindow(WebWindowType)
{
    // Every kind of window (tab, dialog, window) lands in the one view the hook chooses.
    return m_hooks.newWindow ? m_hooks.newWindow() : nullptr;
}

void BrowserPage::javaScriptAlert(const QUrl& securityOrigin, const QString& msg)
{
    if (m_hooks.alert)
        m_hooks.alert(msg);
    if (!m_silent)
        QWebEnginePage::javaScriptAlert(securityOrigin, msg);
}

// Silent: confirm() answers OK, as a user clicking through would; the engine also asks this
// for "leave this page?" on beforeunload, so leaving is never blocked.
bool BrowserPage::javaScriptConfirm(const QUrl& securityOrigin, const QString& msg)
{
    return m_silent || QWebEnginePage::javaScriptConfirm(securityOrigin, msg);
}

// Silent: prompt() is cancelled (the page gets null).
bool BrowserPage::javaScriptPrompt(const QUrl& securityOrigin, const QString& msg,
                                   const QString& defaultValue, QString* result)
{
    return !m_silent && QWebEnginePage::javaScriptPrompt(securityOrigin, msg, defaultValue, result);
}

void BrowserPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level,
                                           const QString& message, int lineNumber,
                                           const QString& sourceID)
{
    if (m_hooks.consoleMessage && m_hooks.consoleMessage(message, sourceID))
        return;
    // Silent: the page's script errors and logs are swallowed.
    if (!m_silent)
        QWebEnginePage::javaScriptConsoleMessage(level, message, lineNumber, sourceID);
}

QStringList BrowserPage::chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                                     const QStringList& acceptedMimeTypes)
{
    if (m_silent)
        return {};
    return QWebEnginePage::chooseFiles(mode, oldFiles, acceptedMimeTypes);
}

} // namespace lumora::platform::webengine
