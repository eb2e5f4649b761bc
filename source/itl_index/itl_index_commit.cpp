// itl_index_commit.cpp: the one commit of an index: prepare, mark,
// install, and the recovery of an interrupted commit (see the header for
// the mark's layout and the states).
#include "itl_index_commit.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>

#include "build/voz_journal.hpp"
#include "calls/voz_gtrstage.hpp"
#include "files/voz_bigendian.hpp"
#include "files/voz_status.hpp"
#include "itl_error.hpp"
#include "itl_file_util.hpp"
#include "itl_index.hpp"
#include "itl_index_file.hpp"
#include "itl_kernel_interface.hpp"
#include "itl_name_maps.hpp"
#include "itl_voz_interface.hpp"

#define ITL_CMT_ORIGIN "source/itl_index/itl_index_commit"

namespace {

constexpr uint32_t kMagic = 0x49434D54u;  // "ICMT"
constexpr uint16_t kVersion = 1;
constexpr uint32_t kHeadSize = 16;
constexpr int kFileNameMessage = 3;     // context line "File name"
char const kMarkSuffix[] = ".cmt";
char const kMarkTempSuffix[] = ".cmt~";

using Step = ItlClIndexCommit::Step;

std::string basePath(ItlClIndex const& index) {
  std::string dir = index.getDirectory();
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir + index.getName();
}

bool exists(std::string const& path) {
  struct stat sb;
  return lstat(path.c_str(), &sb) == 0;
}

// Raises `reason` with the context line "File name: <path>".
#define ITL_CMT_RAISE(reason, path)                                  \
  itlRaise(ITL_SOURCE(ITL_CMT_ORIGIN), reason, kFileNameMessage, \
           (path).c_str())

// fsync of the index directory (through the test hook).
void syncDirectory(std::string const& anyPath) {
  if (!itlSyncParentDirectory(anyPath.c_str()))
    ITL_CMT_RAISE(ItlEnReasonCode_Io_write_error, anyPath);
}

bool suffixOk(std::string const& s) {
  if (s.size() < 2 || s.size() > ItlClIndexCommit::MAX_SUFFIX || s[0] != '.')
    return false;
  for (char c : s)
    if (c == '/' || c == '\0') return false;
  return true;
}

bool stepOk(Step const& s) {
  switch (s.kind) {
    case ItlClIndexCommit::STEP_ENGINE:
      return s.from.empty() && s.to.empty();
    case ItlClIndexCommit::STEP_RENAME:
      return suffixOk(s.from) && suffixOk(s.to);
    case ItlClIndexCommit::STEP_REMOVE:
      return suffixOk(s.from) && s.to.empty();
    default:
      return false;
  }
}

// Writes the mark: temporary name, fsync, rename, directory fsync. A
// failure before the rename leaves no mark; after it the mark stands.
void writeMark(std::string const& base, std::vector<Step> const& steps) {
  std::vector<uint8_t> bytes = ItlClIndexCommit::encodeMark(steps);
  std::string temp = base + kMarkTempSuffix, mark = base + kMarkSuffix;
  bool written = false;
  if (!itlFileOpRefused("write", temp.c_str())) {
    ItlClStdioFile file(temp.c_str(), "wb");
    written = file.get() != nullptr &&
              std::fwrite(bytes.data(), 1, bytes.size(), file.get()) ==
                  bytes.size() &&
              file.syncAndClose();
  }
  if (!written || itlFileOpRefused("rename", mark.c_str()) ||
      std::rename(temp.c_str(), mark.c_str()) != 0) {
    int error = errno;
    unlink(temp.c_str());
    errno = error;
    ITL_CMT_RAISE(ItlEnReasonCode_Io_write_error, mark);
  }
  syncDirectory(mark);
}

// Runs the steps of a mark (each idempotent), then removes the mark.
void install(ItlClIndex const& index, std::vector<Step> const& steps) {
  std::string base = basePath(index);
  for (Step const& s : steps) {
    std::string from = base + s.from;
    if (s.kind == ItlClIndexCommit::STEP_ENGINE) {
      GTRSTATUS status{};
      vozInstallPendingCommit(index.getName(), index.getDirectory(), &status);
      ItlClVozInterface::handleVozError(ITL_SOURCE(ITL_CMT_ORIGIN), status);
      continue;
    }
    if (s.kind == ItlClIndexCommit::STEP_RENAME) {
      if (!exists(from)) continue;  // done before a crash
      std::string to = base + s.to;
      // ENOENT: a reader's recovery has just run the same step.
      if (itlFileOpRefused("rename", to.c_str()) ||
          (std::rename(from.c_str(), to.c_str()) != 0 && errno != ENOENT))
        ITL_CMT_RAISE(ItlEnReasonCode_Io_rename_error, from);
    } else {
      if (itlFileOpRefused("unlink", from.c_str()) ||
          (unlink(from.c_str()) != 0 && errno != ENOENT))
        ITL_CMT_RAISE(ItlEnReasonCode_Io_remove_error, from);
    }
    syncDirectory(from);
  }
  std::string mark = base + kMarkSuffix;
  if (itlFileOpRefused("unlink", mark.c_str()) ||
      (unlink(mark.c_str()) != 0 && errno != ENOENT))
    ITL_CMT_RAISE(ItlEnReasonCode_Io_remove_error, mark);
  syncDirectory(mark);
}

// Removes what a commit that never reached its mark prepared.
void dropPrepared(ItlClIndex const& index) {
  GTRSTATUS status{};
  vozDropPendingCommit(index.getName(), index.getDirectory(), &status);
  index.getIndexFileMgr().notifyDropPrepared();
}

}  // namespace

ItlClIndexCommitLock::ItlClIndexCommitLock(ItlClIndex const& index,
                                           bool exclusive)
    : ItlClIndexCommitLock(index.getLocation(), exclusive) {}

ItlClIndexCommitLock::ItlClIndexCommitLock(
    ItlClIndexLocation const& location, bool exclusive) {
  char const* directory = location.getIndexDirectory().getAsCString();
  if (exclusive) {
    openAndLock(directory, true);
    return;
  }
  // A search: the kept directory, no open per search. A commit of the same
  // object takes its exclusive lock on an open of its own, never
  // converting this description's shared lock.
  ItlClKeptDirectory& kept = location.getKeptDirectory();
  if (kept.lockShared(directory, iv_stStamp)) iv_pclKept = &kept;
}

ItlClIndexCommitLock::ItlClIndexCommitLock(char const* directory,
                                           bool exclusive) {
  openAndLock(directory, exclusive);
}

void ItlClIndexCommitLock::openAndLock(char const* directory,
                                       bool exclusive) {
  std::string dir = directory != nullptr ? directory : "";
  if (dir.empty()) dir = ".";
  iv_iFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (iv_iFd < 0) return;
  while (flock(iv_iFd, exclusive ? LOCK_EX : LOCK_SH) != 0) {
    if (errno != EINTR) {
      close(iv_iFd);
      iv_iFd = -1;
      return;
    }
  }
}

ItlClIndexCommitLock::~ItlClIndexCommitLock() {
  if (iv_iFd >= 0) close(iv_iFd);
  if (iv_pclKept != nullptr) iv_pclKept->unlockShared();
}

bool ItlClIndexCommitLock::unchangedFor(
    ItlClKeptDirectory::Watcher watcher) const {
  return iv_pclKept != nullptr && iv_pclKept->unchangedFor(watcher, iv_stStamp);
}

void ItlClIndexCommitLock::noteChecked(ItlClKeptDirectory::Watcher watcher,
                                       bool verified) const {
  if (iv_pclKept != nullptr)
    iv_pclKept->noteChecked(watcher, iv_stStamp, verified);
}

ItlClIndexCommit::ItlClIndexCommit(ItlClIndex& index) : iv_rclIndex(index) {}

void ItlClIndexCommit::commitUpdate() { run(false); }

void ItlClIndexCommit::commitMerge() { run(true); }

void ItlClIndexCommit::run(bool merge) {
  ItlClKernelInterface& kernel = iv_rclIndex.getKernelInterface();
  ItlClIndexFileMgr& files = iv_rclIndex.getIndexFileMgr();
  auto rollbackFiles = [&] {
    try {
      if (merge) files.notifyRollbackMergeTransaction();
      else files.notifyRollbackTransaction();
    } catch (...) {
      // The first failure is the one reported.
    }
  };
  std::string base = basePath(iv_rclIndex);
  std::string mark = base + kMarkSuffix;
  std::vector<Step> steps;
  // Held from the mark to the end of the install (see the header).
  std::unique_ptr<ItlClIndexCommitLock> lock;
  // A commit without an open transaction is refused by the kernel (6)
  // before anything is prepared: no file hears a rollback it never began.
  bool const open = merge ? kernel.isMergeOpen() : kernel.isUpdateOpen();
  // 1. Prepare: nothing live changes.
  try {
    if (merge) kernel.prepareCommitMerge();
    else kernel.prepareCommitUpdate();
    if (vozPendingCommitExists(iv_rclIndex.getName(),
                               iv_rclIndex.getDirectory()))
      steps.push_back({STEP_ENGINE, "", ""});
    std::vector<ItlStIndexFileStep> fileSteps;
    files.notifyPrepareCommit(merge, fileSteps);
    for (bool removals : {false, true})
      for (ItlStIndexFileStep const& f : fileSteps)
        if (f.to.empty() == removals)
          steps.push_back({removals ? STEP_REMOVE : STEP_RENAME, f.from, f.to});
    if (steps.size() > MAX_STEPS)
      ItlClException(ITL_SOURCE(ITL_CMT_ORIGIN), ItlEnReasonCode_Index_corrupted)
          .raise();
    if (!steps.empty()) {
      syncDirectory(mark);
      lock = std::make_unique<ItlClIndexCommitLock>(iv_rclIndex, true);
      // 2. The commit point.
      writeMark(base, steps);
    }
  } catch (...) {
    if (exists(mark)) {
      // The mark stands: the commit has happened; the next load or update
      // start finishes it.
      try {
        if (merge) files.notifyCommitMergeTransaction();
        else files.notifyCommitTransaction();
      } catch (...) {
      }
      throw;
    }
    if (!open) throw;
    dropPrepared(iv_rclIndex);
    rollbackFiles();
    throw;
  }
  // 3. Install.
  std::exception_ptr failure;
  try {
    if (!steps.empty()) install(iv_rclIndex, steps);
  } catch (...) {
    failure = std::current_exception();
  }
  lock.reset();
  // 4. The files end their transaction in memory.
  try {
    if (merge) files.notifyCommitMergeTransaction();
    else files.notifyCommitTransaction();
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  if (failure) std::rethrow_exception(failure);
}

void ItlClIndexCommit::commitPrepared(
    std::vector<ItlStIndexFileStep> const& fileSteps) {
  std::string base = basePath(iv_rclIndex);
  std::string mark = base + kMarkSuffix;
  std::vector<Step> steps;
  // Held from the mark to the end of the install, as in run().
  std::unique_ptr<ItlClIndexCommitLock> lock;
  auto dropFiles = [&] {
    for (ItlStIndexFileStep const& f : fileSteps)
      if (!f.to.empty()) unlink((base + f.from).c_str());
  };
  try {
    for (bool removals : {false, true})
      for (ItlStIndexFileStep const& f : fileSteps)
        if (f.to.empty() == removals)
          steps.push_back({removals ? STEP_REMOVE : STEP_RENAME, f.from, f.to});
    if (steps.empty()) return;
    for (Step const& s : steps)
      if (!stepOk(s))
        ItlClException(ITL_SOURCE(ITL_CMT_ORIGIN),
                       ItlEnReasonCode_Invalid_argument)
            .raise();
    if (steps.size() > MAX_STEPS)
      ItlClException(ITL_SOURCE(ITL_CMT_ORIGIN), ItlEnReasonCode_Index_corrupted)
          .raise();
    syncDirectory(mark);
    lock = std::make_unique<ItlClIndexCommitLock>(iv_rclIndex, true);
    writeMark(base, steps);
  } catch (...) {
    if (!exists(mark)) dropFiles();
    throw;
  }
  install(iv_rclIndex, steps);
}

bool ItlClIndexCommit::markExists() const {
  return exists(markPath(iv_rclIndex));
}

void ItlClIndexCommit::recover(ItlClIndex const& index, bool updating) {
  std::string base = basePath(index);
  std::string mark = base + kMarkSuffix;
  // A reader looks without the lock: only a mark it sees needs it (a
  // writer may be installing it right now: the lock waits for the end of
  // that install, and the mark is looked for again under it). A mark
  // written after the look belongs to a live writer and is left alone.
  if (!updating && !exists(mark)) return;
  ItlClIndexCommitLock lock(index, true);
  if (exists(mark)) {
    ItlClByteBuffer content;
    if (!itlReadWholeFile(mark.c_str(), content))
      ITL_CMT_RAISE(ItlEnReasonCode_Io_read_error, mark);
    std::vector<Step> steps;
    // A mark becomes visible whole: one that does not decode is damage,
    // and nothing is touched.
    if (!decodeMark(content.data(), content.size(), steps))
      ITL_CMT_RAISE(ItlEnReasonCode_Index_corrupted, mark);
    install(index, steps);
  }
  if (!updating) return;
  std::string temp = base + kMarkTempSuffix;
  if (exists(temp) && (itlFileOpRefused("unlink", temp.c_str()) ||
                       (unlink(temp.c_str()) != 0 && errno != ENOENT)))
    ITL_CMT_RAISE(ItlEnReasonCode_Io_remove_error, temp);
  GTRSTATUS status{};
  vozDropPendingCommit(index.getName(), index.getDirectory(), &status);
  ItlClVozInterface::handleVozError(ITL_SOURCE(ITL_CMT_ORIGIN), status);
  index.getIndexFileMgr().notifyDropPrepared();
}

void ItlClIndexCommit::refreshNameMaps(ItlClIndex const& index) {
  ItlClIndexCommitLock lock(index, false);
  // Every commit changes the index directory: unchanged since the maps'
  // last full check, their files are the ones they read.
  bool const unchanged = lock.unchangedFor(ItlClKeptDirectory::NAME_MAPS);
  bool const fields = index.getFieldNameMap().refreshForRead(unchanged);
  bool const attributes =
      index.getAttributeNameMap().refreshForRead(unchanged);
  if (!unchanged)
    lock.noteChecked(ItlClKeptDirectory::NAME_MAPS, fields && attributes);
}

std::string ItlClIndexCommit::markPath(ItlClIndex const& index) {
  return basePath(index) + kMarkSuffix;
}

std::vector<uint8_t> ItlClIndexCommit::encodeMark(
    std::vector<Step> const& steps) {
  size_t size = kHeadSize + 4;
  for (Step const& s : steps) size += 4 + s.from.size() + s.to.size();
  std::vector<uint8_t> out(size, 0);
  voz_putBE32(out.data(), kMagic);
  voz_putBE16(out.data() + 4, kVersion);
  voz_putBE16(out.data() + 6, static_cast<uint16_t>(steps.size()));
  voz_putBE32(out.data() + 8, static_cast<uint32_t>(size));
  uint8_t* p = out.data() + kHeadSize;
  for (Step const& s : steps) {
    p[0] = static_cast<uint8_t>(s.kind);
    p[1] = static_cast<uint8_t>(s.from.size());
    p[2] = static_cast<uint8_t>(s.to.size());
    std::memcpy(p + 4, s.from.data(), s.from.size());
    std::memcpy(p + 4 + s.from.size(), s.to.data(), s.to.size());
    p += 4 + s.from.size() + s.to.size();
  }
  voz_putBE32(out.data() + size - 4, voz_JnlCrc32(out.data(), size - 4));
  return out;
}

bool ItlClIndexCommit::decodeMark(uint8_t const* bytes, size_t size,
                                  std::vector<Step>& steps) {
  steps.clear();
  if (bytes == nullptr || size < kHeadSize + 4 ||
      voz_getBE32(bytes) != kMagic || voz_getBE16(bytes + 4) != kVersion ||
      voz_getBE32(bytes + 8) != size || voz_getBE32(bytes + 12) != 0 ||
      voz_getBE32(bytes + size - 4) != voz_JnlCrc32(bytes, size - 4))
    return false;
  uint16_t count = voz_getBE16(bytes + 6);
  if (count == 0 || count > MAX_STEPS) return false;
  size_t at = kHeadSize, end = size - 4;
  // Kinds must come in the order engine, renames, removals.
  int phase = 0;
  for (uint16_t i = 0; i < count; ++i) {
    if (end - at < 4 || bytes[at + 3] != 0) return false;
    size_t a = bytes[at + 1], b = bytes[at + 2];
    if (end - at - 4 < a + b) return false;
    Step s{static_cast<char>(bytes[at]),
           std::string(reinterpret_cast<char const*>(bytes + at + 4), a),
           std::string(reinterpret_cast<char const*>(bytes + at + 4 + a), b)};
    int kindPhase = s.kind == STEP_ENGINE ? 0 : s.kind == STEP_RENAME ? 1 : 2;
    if (!stepOk(s) || kindPhase < phase || (i > 0 && s.kind == STEP_ENGINE))
      return false;
    phase = kindPhase;
    steps.push_back(std::move(s));
    at += 4 + a + b;
  }
  if (at != end) {
    steps.clear();
    return false;
  }
  return true;
}
