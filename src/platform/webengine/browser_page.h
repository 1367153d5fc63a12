#pragma once

// The page of one view, with the policy for everything a page may ask of its user.

#include <QWebEnginePage>
#include <functional>

namespace lumora::platform::webengine {

// Dialogs are shown, or with silent on answered without being shown: alert() is dropped (its
// text still goes to the alert hook),
// confirm() answers OK, prompt() is cancelled, file choosers choose nothing, logins are
// cancelled. Whatever the silent setting, feature permissions, file-system access and bad
// certificates are refused. New windows and the layer's own console messages go to the view.
class BrowserPage final : public QWebEnginePage
{
    Q_OBJECT
public:
    struct Hooks
    {
        // The page that is to show a window this page opens; nullptr refuses it.
        std::function<QWebEnginePage*()> newWindow;
        // Offered every console message first; true when the layer took it as its own.
        std::function<bool(const QString& message, const QString& sourceId)> consoleMessage;
        // Told every alert()'s text, shown or not.
        std::function<void(const QString& text)> alert;
    };

    BrowserPage(QWebEngineProfile* profile, QObject* parent);
    // The hooks run inside engine callbacks; whoever sets them outlives the page.
    void setHooks(Hooks hooks) { m_hooks = std::move(hooks); }
    void setSilent(bool silent) { m_silent = silent; }

protected:
    QWebEnginePage* createWindow(WebWindowType type) override;
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg,
                          const QString& defaultValue, QString* result) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int lineNumber, const QString& sourceID) override;
    QStringList chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                            const QStringList& acceptedMimeTypes) override;

private:
    Hooks m_hooks;
    bool m_silent = false;
};

} // namespace lumora::platform::webengine
