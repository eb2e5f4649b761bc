// itl_index_commit.cpp: the one commit of an index.
#include "itl_index_commit.hpp"

#include "itl_index.hpp"
#include "itl_index_file.hpp"
#include "itl_kernel_interface.hpp"

ItlClIndexCommit::ItlClIndexCommit(ItlClIndex& index) : iv_rclIndex(index) {}

void ItlClIndexCommit::commitUpdate() {
  iv_rclIndex.getKernelInterface().commitUpdate();
  iv_rclIndex.getIndexFileMgr().notifyCommitTransaction();
}

void ItlClIndexCommit::commitMerge() {
  iv_rclIndex.getKernelInterface().commitMerge();
  iv_rclIndex.getIndexFileMgr().notifyCommitMergeTransaction();
}

void ItlClIndexCommit::recover(ItlClIndex& /*index*/, bool /*updating*/) {}
