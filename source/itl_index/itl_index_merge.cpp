// itl_index_merge.cpp: merge transactions.
#include "itl_index_merge.hpp"

#include "itl_error.hpp"
#include "itl_index.hpp"
#include "itl_index_commit.hpp"
#include "itl_index_file.hpp"
#include "itl_kernel_interface.hpp"

#define ITL_MERGE_ORIGIN "source/itl_index/itl_index_merge"

namespace {

// Message-table line "Merge operation".
constexpr int kMergeOperationLine = 60;

}  // namespace

ItlClIndexMerge::ItlClIndexMerge(ItlClIndex& index, ItlClErrorInfo& errorInfo)
    : iv_rclErrorInfo(errorInfo),
      iv_rclIndex(index),
      iv_rclFileMgr(index.getIndexFileMgr()),
      iv_rclKernel(index.getKernelInterface()),
      iv_bRollbackRequired(false),
      iv_bStarted(false) {}

ItlClIndexMerge::~ItlClIndexMerge() {
  if (!iv_bStarted) return;
  // A merge left in the middle: the engine's work and the maps' working
  // files go, as a rollback would leave them.
  try {
    iv_rclKernel.rollbackMerge();
  } catch (...) {
  }
  try {
    iv_rclFileMgr.notifyRollbackMergeTransaction();
  } catch (...) {
  }
}

template <class Step>
void ItlClIndexMerge::guarded(Step&& step) {
  try {
    step();
  } catch (ItlClException const& e) {
    iv_bRollbackRequired = true;
    ItlClException copy(e);
    copy.context(kMergeOperationLine);
    copy.raise();
  }
}

void ItlClIndexMerge::throwIfRollbackRequired(char const* origin,
                                              unsigned line) const {
  if (!iv_bRollbackRequired) return;
  ItlClException(origin, line, ItlEnReasonCode_Index_rollback_required)
      .raise();
}

void ItlClIndexMerge::mergeProcess() {
  throwIfRollbackRequired(ITL_SOURCE(ITL_MERGE_ORIGIN));
  // A second process of an open merge is the kernel's to refuse (6).
  guarded([&] { ItlClIndexCommit::recover(iv_rclIndex, true); });
  iv_bStarted = true;
  guarded([&] { iv_rclFileMgr.notifyStartMergeTransaction(); });
  guarded([&] { iv_rclKernel.processMerge(); });
  guarded([&] { iv_rclFileMgr.notifyEndMergeTransaction(); });
}

void ItlClIndexMerge::mergeCommit() {
  throwIfRollbackRequired(ITL_SOURCE(ITL_MERGE_ORIGIN));
  guarded([&] { ItlClIndexCommit(iv_rclIndex).commitMerge(); });
  iv_bStarted = false;
}

void ItlClIndexMerge::mergeRollback() {
  if (!iv_bStarted) return;
  guarded([&] { iv_rclKernel.rollbackMerge(); });
  guarded([&] { iv_rclFileMgr.notifyRollbackMergeTransaction(); });
  iv_bStarted = false;
}
