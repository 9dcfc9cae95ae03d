// The request filter of a panel's page: a page loads nothing from outside the web.
#pragma once

#include <QWebEngineUrlRequestInterceptor>

namespace qelvora {

// Blocks every request of a panel's page for an address that is not on the web (the program's
// own resources in qrc:, files, ...).
class PanelRequestFilter : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo &info) override;
};

} // namespace qelvora
