// itl_context.cpp: the context holder (ItlClContext); see itl_context.hpp.
#include "itl_context.hpp"

ItlClContext::ItlClContext(ItlClErrorInfo& errorInfo)
    : iv_rclErrorInfo(errorInfo),
      iv_pfuRanking(nullptr),
      iv_enRankingOrder(ItlEnSortOrder_Ascending),
      iv_pvRankingUser(nullptr),
      iv_pfuSkip(nullptr),
      iv_pvSkipUser(nullptr),
      iv_pfuDate(nullptr),
      iv_bDateFlag(false),
      iv_pvDateUser(nullptr),
      iv_pfuNumber(nullptr),
      iv_bNumberFlag(false),
      iv_pvNumberUser(nullptr) {
  for (CosClTiming& timing : iv_aclTiming) timing.init(false);
}

void ItlClContext::registerSkipDocumentSetCallback(
    ItlTySkipDocumentSetCallback callback, void* user) {
  iv_pfuSkip = callback;
  iv_pvSkipUser = user;
}

void ItlClContext::registerDateCallback(ItlTyDateCallback callback, bool flag,
                                        void* user) {
  iv_pfuDate = callback;
  iv_bDateFlag = flag;
  iv_pvDateUser = user;
}

void ItlClContext::registerNumberCallback(ItlTyNumberCallback callback,
                                          bool flag, void* user) {
  iv_pfuNumber = callback;
  iv_bNumberFlag = flag;
  iv_pvNumberUser = user;
}

void ItlClContext::registerRankingCallback(ItlTyRankingCallback callback,
                                           ItlEnSortOrder order, void* user) {
  iv_pfuRanking = callback;
  iv_enRankingOrder = order;
  iv_pvRankingUser = user;
}
