// The panels' request filter.
#include "request_filter.h"

#include "panel_page.h"

#include <QWebEngineUrlRequestInfo>

namespace qelvora {

void PanelRequestFilter::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    if (info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeFavicon)
        Q_EMIT iconRequested();
    if (!PanelPage::isWebAddress(info.requestUrl()))
        info.block(true);
}

} // namespace qelvora
