// itl_context.hpp: the object behind a caller's context handle.
//
// ItlClContext binds one error info to the caller's optional callbacks that
// the index library consults while indexing and searching (a date
// recogniser, a number recogniser, a skip-document-set decision and a
// ranking function) and carries six stopwatches. It is a plain holder: it
// stores what is registered and hands it out; it never calls a callback.
// It owns neither the error info (which must outlive it) nor anything
// reachable through the callbacks' user data. A null callback removes it.
#ifndef ITL_CONTEXT_HPP
#define ITL_CONTEXT_HPP

#include "cos_time.hpp"
#include "itl_codes.hpp"

class ItlClErrorInfo;

// The callback forms (ItlTyRankingCallback, ItlTySkipDocumentSetCallback,
// ItlTyDateCallback, ItlTyNumberCallback) are defined in itl_codes.h.

class ItlClContext {
 public:
  static constexpr unsigned TIMING_COUNT = 6;

  // Keeps the reference; every callback, user data and flag zero; the six
  // stopwatches reset.
  explicit ItlClContext(ItlClErrorInfo& errorInfo);
  ~ItlClContext() = default;
  ItlClContext(ItlClContext const&) = delete;
  ItlClContext& operator=(ItlClContext const&) = delete;

  // Each overwrites what was stored; no checks (the API checks the sort
  // order before it calls).
  void registerSkipDocumentSetCallback(ItlTySkipDocumentSetCallback callback,
                                       void* user);
  void registerDateCallback(ItlTyDateCallback callback, bool flag, void* user);
  void registerNumberCallback(ItlTyNumberCallback callback, bool flag,
                              void* user);
  void registerRankingCallback(ItlTyRankingCallback callback,
                               ItlEnSortOrder order, void* user);

  ItlClErrorInfo& getErrorInfo() const { return iv_rclErrorInfo; }
  ItlTyRankingCallback getRankingCallback() const { return iv_pfuRanking; }
  ItlEnSortOrder getRankingSortOrder() const { return iv_enRankingOrder; }
  void* getRankingUserData() const { return iv_pvRankingUser; }
  ItlTySkipDocumentSetCallback getSkipDocumentSetCallback() const {
    return iv_pfuSkip;
  }
  void* getSkipDocumentSetUserData() const { return iv_pvSkipUser; }
  ItlTyDateCallback getDateCallback() const { return iv_pfuDate; }
  bool getDateFlag() const { return iv_bDateFlag; }
  void* getDateUserData() const { return iv_pvDateUser; }
  ItlTyNumberCallback getNumberCallback() const { return iv_pfuNumber; }
  bool getNumberFlag() const { return iv_bNumberFlag; }
  void* getNumberUserData() const { return iv_pvNumberUser; }
  // REQUIRES: index < TIMING_COUNT.
  CosClTiming& getTiming(unsigned index) { return iv_aclTiming[index]; }

 private:
  ItlClErrorInfo& iv_rclErrorInfo;
  ItlTyRankingCallback iv_pfuRanking;
  ItlEnSortOrder iv_enRankingOrder;
  void* iv_pvRankingUser;
  ItlTySkipDocumentSetCallback iv_pfuSkip;
  void* iv_pvSkipUser;
  ItlTyDateCallback iv_pfuDate;
  bool iv_bDateFlag;
  void* iv_pvDateUser;
  ItlTyNumberCallback iv_pfuNumber;
  bool iv_bNumberFlag;
  void* iv_pvNumberUser;
  CosClTiming iv_aclTiming[TIMING_COUNT];
};

#endif  // ITL_CONTEXT_HPP
