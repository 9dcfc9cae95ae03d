// What a page in a web panel may do. The panels show pages of a site that anyone between the
// user and the site can answer for, so a page is treated as hostile: it shows no dialog, opens
// no file chooser, reaches nothing but the web, starts no other program, and the processes that
// run it yield to the window and are ended when they take too much memory.
#pragma once

#include <QWebEnginePage>

namespace qelvora {

// The page class of both panels.
class PanelPage : public QWebEnginePage {
    Q_OBJECT
public:
    explicit PanelPage(QObject *parent = nullptr);
    // A page in the given profile (the panels' own, which the process watch renews).
    PanelPage(QWebEngineProfile *profile, QObject *parent);

    // Whether a page may go to or load from the address: the web (http, https, ws, wss) and the
    // engine's own page-made documents (about:, data:, blob:). Everything else (mailto:, tel:,
    // file:, qrc:, other programs' schemes, ...) is out of a page's reach.
    static bool isWebAddress(const QUrl &url);

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    void javaScriptAlert(const QUrl &securityOrigin, const QString &message) override;
    bool javaScriptConfirm(const QUrl &securityOrigin, const QString &message) override;
    bool javaScriptPrompt(const QUrl &securityOrigin, const QString &message,
                          const QString &defaultValue, QString *result) override;
    QStringList chooseFiles(FileSelectionMode mode, const QStringList &oldFiles,
                            const QStringList &acceptedMimeTypes) override;
};

} // namespace qelvora
