#include "platform/pageview/PageView.h"

#include "platform/pageview/PlainPageView.h"
#ifdef BRINEWATCH_WEBENGINE_PAGE_VIEW
#include "platform/pageview/WebEnginePageView.h"
#endif

namespace bw {

PageView* createPageView(QWidget* parent) {
#ifdef BRINEWATCH_WEBENGINE_PAGE_VIEW
  return new WebEnginePageView(parent);
#else
  return new PlainPageView(parent);
#endif
}

}  // namespace bw
