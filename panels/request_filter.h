// The request filter of a panel's page: a page loads nothing from outside the web.
#pragma once

#include <QWebEngineUrlRequestInterceptor>

namespace qelvora {

// Blocks every request of a panel's page for an address that is not on the web (the program's
// own resources in qrc:, files, ...), and tells of every request for a page's icon: the program
// fetches each icon a page names, so a page that changes its icon without end makes the program
// work for every change.
class PanelRequestFilter : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo &info) override;

Q_SIGNALS:
    void iconRequested();
};

} // namespace qelvora
