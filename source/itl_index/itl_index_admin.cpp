// itl_index_admin.cpp: administration of an index that survives a kill.
//
// Each operation first writes its mark "<name>.#ad" where the index lives
// afterwards (temporary "<name>.#ad~", fsync, rename, directory fsync),
// then runs its steps, each of which skips what is already done, then
// syncs the directories it touched and removes the mark (see
// itl_index.hpp for the marks and what they mean). Mark layout, one item
// a line: "ITL-INDEX-ADMIN 1", the kind (create, copy, destroy, clear,
// rename), its argument (the working directory to remove, the old name,
// or empty), "end".
//
// The engine's files are handled by the kernel interface (its root
// directory "<dir>/<name>" is renamed in one step); the index's own files
// are every file of the index directory named "<name>.<suffix>". Renames
// and copies move those generically, so that a repeated step finds its
// source gone and its target in place; the parts are then made again for
// the new location. Destroy and clear broadcast their events (every hook
// accepts missing files) and destroy then sweeps what is left.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cos_file.hpp"
#include "cos_location.hpp"
#include "itl_docname_mapping.hpp"
#include "itl_error.hpp"
#include "itl_file_util.hpp"
#include "itl_index.hpp"
#include "itl_index_config.hpp"
#include "itl_index_file.hpp"
#include "itl_index_private.hpp"
#include "itl_kernel_interface.hpp"

#define ITL_ADMIN_ORIGIN "source/itl_index/itl_index_admin"

namespace {

constexpr int kMsgIndexName = 2;
constexpr int kMsgFileName = 3;
constexpr int kMsgDirectory = 4;
constexpr int kMsgTargetDirectory = 13;
constexpr int kMsgConfigFileName = 26;

char const kMarkSuffix[] = ".#ad";
char const kMarkTempSuffix[] = ".#ad~";
char const kMarkMagic[] = "ITL-INDEX-ADMIN 1";

struct AdminMark {
  std::string kind;
  std::string argument;
};

// A directory as a text that ends in '/'.
std::string dirPath(char const* directory) {
  return CosClLocation(directory).getAsCString();
}

std::string pathOf(std::string const& dir, char const* name,
                   char const* suffix) {
  return dir + name + suffix;
}

bool exists(std::string const& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

[[noreturn]] void raiseFile(char const* origin, unsigned line,
                            ItlEnReasonCode reason, std::string const& path) {
  int error = errno;
  ItlClException e(origin, line, reason);
  e.context(kMsgFileName) << ": " << path << " (" << error << ")";
  e.raise();
}

// File operations the test hook may refuse (crash and failure tests).
bool hookedUnlink(std::string const& path) {
  return !itlFileOpRefused("unlink", path.c_str()) &&
         (unlink(path.c_str()) == 0 || errno == ENOENT);
}

bool hookedRename(std::string const& from, std::string const& to) {
  return !itlFileOpRefused("rename", to.c_str()) &&
         std::rename(from.c_str(), to.c_str()) == 0;
}

void syncDir(std::string const& dir) {
  if (!itlSyncParentDirectory((dir + ".").c_str()))
    raiseFile(ITL_SOURCE(ITL_ADMIN_ORIGIN), ItlEnReasonCode_Io_write_error,
              dir);
}

// The suffix of a directory entry of the index `name` ("<name>.<suffix>"),
// or null.
char const* suffixOf(char const* entry, char const* name) {
  size_t length = std::strlen(name);
  if (std::strncmp(entry, name, length) != 0 || entry[length] != '.')
    return nullptr;
  return entry + length;
}

// The suffixes of the files an index keeps in its directory (with the
// temporary and prepared files of their commits): only these are moved,
// copied or removed as the index's, never another file that merely
// begins with the index name.
bool isIndexSuffix(char const* suffix) {
  static char const* const kSuffixes[] = {
      ".ini", ".ini.tmp", ".stw", ".mox", ".mdx", ".mdx$",
      ".tf",  ".tf~",     ".an",  ".an~", ".as",  ".as~",
      ".did", ".dii",     ".ded", ".dei", ".del", ".#id",
      ".#ii", ".#ed",     ".#ei", ".#el", ".!id", ".!ii",
      ".!ed", ".!ei",     ".!el", ".#dm", ".#dm~", ".#ad",
      ".#ad~", ".#tf",    ".#an", ".#as", ".cmt",  ".cmt~"};
  for (char const* known : kSuffixes)
    if (std::strcmp(suffix, known) == 0) return true;
  return false;
}

bool isMarkSuffix(char const* suffix) {
  return std::strcmp(suffix, kMarkSuffix) == 0 ||
         std::strcmp(suffix, kMarkTempSuffix) == 0;
}

// The index files "<name>.<suffix>" of `dir` (suffix with its '.').
std::vector<std::string> filesOfName(std::string const& dir,
                                     char const* name) {
  std::vector<std::string> suffixes;
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return suffixes;
  while (dirent* e = readdir(d)) {
    char const* suffix = suffixOf(e->d_name, name);
    if (suffix == nullptr || !isIndexSuffix(suffix)) continue;
    struct stat st;
    if (lstat((dir + e->d_name).c_str(), &st) != 0 || S_ISDIR(st.st_mode))
      continue;
    suffixes.emplace_back(suffix);
  }
  closedir(d);
  return suffixes;
}

bool readMark(std::string const& dir, char const* name, AdminMark& mark) {
  std::string path = pathOf(dir, name, kMarkSuffix);
  if (!exists(path)) return false;
  ItlClByteBuffer content;
  if (!itlReadWholeFile(path.c_str(), content)) return false;
  std::string text(reinterpret_cast<char const*>(content.data()),
                   content.size());
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) return false;
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  if (lines.size() != 4 || lines[0] != kMarkMagic || lines[3] != "end")
    return false;
  mark.kind = lines[1];
  mark.argument = lines[2];
  return true;
}

void writeMark(std::string const& dir, char const* name, char const* kind,
               std::string const& argument) {
  std::string mark = pathOf(dir, name, kMarkSuffix);
  std::string temp = pathOf(dir, name, kMarkTempSuffix);
  std::string text = std::string(kMarkMagic) + "\n" + kind + "\n" +
                     argument + "\nend\n";
  bool written = false;
  if (!itlFileOpRefused("write", temp.c_str())) {
    ItlClStdioFile file(temp.c_str(), "wb");
    written = file.get() != nullptr &&
              std::fwrite(text.data(), 1, text.size(), file.get()) ==
                  text.size() &&
              file.syncAndClose();
  }
  if (!written || !hookedRename(temp, mark) ||
      !itlSyncParentDirectory(mark.c_str())) {
    unlink(temp.c_str());
    raiseFile(ITL_SOURCE(ITL_ADMIN_ORIGIN), ItlEnReasonCode_Io_write_error,
              mark);
  }
}

// The steps before are made durable, then the mark goes.
void removeMark(std::string const& dir, char const* name) {
  std::string mark = pathOf(dir, name, kMarkSuffix);
  syncDir(dir);
  if (!hookedUnlink(mark))
    raiseFile(ITL_SOURCE(ITL_ADMIN_ORIGIN), ItlEnReasonCode_Io_remove_error,
              mark);
  syncDir(dir);
}

// Removes every file "<name>.<suffix>" of `dir` (the marks too unless
// `keepMark`).
void removeFilesOfName(std::string const& dir, char const* name,
                       bool keepMark) {
  for (std::string const& suffix : filesOfName(dir, name)) {
    if (keepMark && isMarkSuffix(suffix.c_str())) continue;
    std::string path = dir + name + suffix;
    if (!hookedUnlink(path))
      raiseFile(ITL_SOURCE(ITL_ADMIN_ORIGIN), ItlEnReasonCode_Io_remove_error,
                path);
  }
}

// Removes `path` with everything below it.
void removeTree(std::string const& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return;
  if (S_ISDIR(st.st_mode)) {
    if (DIR* d = opendir(path.c_str())) {
      std::vector<std::string> entries;
      while (dirent* e = readdir(d))
        if (std::strcmp(e->d_name, ".") != 0 &&
            std::strcmp(e->d_name, "..") != 0)
          entries.emplace_back(e->d_name);
      closedir(d);
      for (std::string const& e : entries) removeTree(path + "/" + e);
    }
    if (itlFileOpRefused("unlink", path.c_str()) ||
        (rmdir(path.c_str()) != 0 && errno != ENOENT))
      raiseFile(ITL_SOURCE(ITL_ADMIN_ORIGIN), ItlEnReasonCode_Io_remove_error,
                path);
    return;
  }
  if (!hookedUnlink(path))
    raiseFile(ITL_SOURCE(ITL_ADMIN_ORIGIN), ItlEnReasonCode_Io_remove_error,
              path);
}

// The engine's index of `name` in `dir` (whatever a killed operation left
// of it) is deleted, then its root directory when it is empty.
void removeEngineIndex(std::string const& dir, char const* name,
                       ItlClIndexConfig const& config) {
  ItlClIndexLocation location(name, dir.c_str(), nullptr);
  ItlClKernelInterface kernel(location, config);
  kernel.clear();
  std::string root = dir + name;
  if (!itlFileOpRefused("unlink", root.c_str())) rmdir(root.c_str());
}

// Every file of the name and the engine's index: what a create or copy
// finds of an interrupted earlier one.
void removeAllOfName(std::string const& dir, char const* name,
                     ItlClIndexConfig const& config) {
  removeEngineIndex(dir, name, config);
  removeFilesOfName(dir, name, true);
}

bool indexExistsAt(std::string const& dir, char const* name) {
  return exists(pathOf(dir, name, ".ini")) &&
         !itlIndexAdminHidesIndex(dir.c_str(), name);
}

[[noreturn]] void raiseExists(char const* origin, unsigned line,
                              char const* name) {
  itlRaise(origin, line, ItlEnReasonCode_Index_already_exists, kMsgIndexName,
           name);
}

// The last component of `path` (without a trailing '/').
std::string lastComponent(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool itlIndexAdminHidesIndex(char const* directory, char const* name) {
  AdminMark mark;
  if (!readMark(directory, name, mark)) return false;
  return mark.kind == "create" || mark.kind == "copy" ||
         mark.kind == "destroy";
}

bool itlIndexMakeDirectories(std::string const& path) {
  std::string partial;
  size_t at = 0;
  while (at <= path.size()) {
    size_t slash = path.find('/', at);
    if (slash == std::string::npos) slash = path.size();
    partial = path.substr(0, slash);
    if (!partial.empty()) {
      struct stat st;
      if (stat(partial.c_str(), &st) != 0) {
        if (mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) return false;
      } else if (!S_ISDIR(st.st_mode)) {
        return false;
      }
    }
    at = slash + 1;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Steps shared by the operations and the recovery.

void ItlClIndex::finishDestroy(std::string const& workingDirectory) {
  std::string dir = getDirectory();
  iv_pclKernel->destroy();
  iv_pclFileMgr->notifyDestroy();
  removeEngineIndex(dir, getName(), *iv_pclConfig);
  removeFilesOfName(dir, getName(), true);
  // Only the directory setWorkingDirectory made: "TMP_<name>" exactly.
  if (!workingDirectory.empty() &&
      lastComponent(workingDirectory) ==
          std::string(kItlIndexWorkDirPrefix) + getName())
    removeTree(workingDirectory);
  removeMark(dir, getName());
}

void ItlClIndex::finishClear() {
  iv_pclKernel->clear();
  iv_pclFileMgr->notifyClear();
  removeMark(getDirectory(), getName());
}

void ItlClIndex::finishRename(char const* oldName, char const* newName) {
  std::string dir = getDirectory();
  // The configuration first: from here on the index is the new name's.
  std::string from = pathOf(dir, oldName, ".ini");
  std::string to = pathOf(dir, newName, ".ini");
  if (exists(from) && !exists(to)) {
    if (!hookedRename(from, to))
      raiseFile(ITL_SOURCE(ITL_ADMIN_ORIGIN), ItlEnReasonCode_Io_rename_error,
                from);
    syncDir(dir);
  }
  {
    ItlClIndexLocation location(oldName, dir.c_str(), nullptr);
    ItlClKernelInterface kernel(location, *iv_pclConfig);
    kernel.rename(newName);
  }
  for (std::string const& suffix : filesOfName(dir, oldName)) {
    if (isMarkSuffix(suffix.c_str()) || suffix == ".ini") continue;
    std::string source = dir + oldName + suffix;
    if (!hookedRename(source, dir + newName + suffix))
      raiseFile(ITL_SOURCE(ITL_ADMIN_ORIGIN), ItlEnReasonCode_Io_rename_error,
                source);
  }
  removeMark(dir, newName);
}

void ItlClIndex::copyTo(std::string const& target) const {
  char const* name = getName();
  std::string dir = getDirectory();
  writeMark(target, name, "copy", "");
  removeAllOfName(target, name, *iv_pclConfig);
  // What an interrupted copy left of the engine's directory (files the
  // engine's clear does not know) would make the engine's copy fail.
  removeTree(target + name);
  iv_pclKernel->copy(target.c_str());
  for (std::string const& suffix : filesOfName(dir, name)) {
    if (isMarkSuffix(suffix.c_str())) continue;
    std::string source = dir + name + suffix;
    struct stat st;
    if (stat(source.c_str(), &st) != 0)
      raiseFile(ITL_SOURCE(ITL_ADMIN_ORIGIN), ItlEnReasonCode_Io_open_error,
                source);
    if (!itlCopyFileSynced(source.c_str(), (target + name + suffix).c_str(),
                           st.st_mode & 07777))
      raiseFile(ITL_SOURCE(ITL_ADMIN_ORIGIN), ItlEnReasonCode_Io_write_error,
                target + name + suffix);
  }
  removeMark(target, name);
}

void ItlClIndex::recoverAdministration() {
  std::string dir = getDirectory();
  AdminMark mark;
  if (!readMark(dir, getName(), mark)) return;
  if (mark.kind == "destroy") {
    finishDestroy(mark.argument);
  } else if (mark.kind == "clear") {
    finishClear();
  } else if (mark.kind == "rename") {
    if (!isValidIndexName(mark.argument.c_str())) return;
    if (!exists(pathOf(dir, getName(), ".ini"))) {
      // Killed before the configuration moved: the old name holds it all.
      removeMark(dir, getName());
      return;
    }
    finishRename(mark.argument.c_str(), getName());
  }
  // A pending create or copy stays: the index does not exist, and the next
  // create or copy of the name starts by removing what it left.
}

// ---------------------------------------------------------------------------
// The operations.

void ItlClIndex::adminCreate(char const* templateName) {
  if (templateName == nullptr) {
    ItlClException e("source/itl_index/itl_index:496", 496,
                     ItlEnReasonCode_Invalid_argument);
    e.context(kMsgConfigFileName);
    e.raise();
  }
  if (isExistent())
    raiseExists("source/itl_index/itl_index:505", 505, getName());
  if (!exists(templateName))
    itlRaise(ITL_SOURCE(ITL_ADMIN_ORIGIN), ItlEnReasonCode_Io_open_error,
             kMsgConfigFileName, templateName);
  std::string dir = getDirectory();
  if (!itlIndexMakeDirectories(dir))
    itlRaise("source/itl_index/itl_index:519", 519,
             ItlEnReasonCode_Permission_denied, kMsgDirectory, dir.c_str());
  writeMark(dir, getName(), "create", "");
  removeAllOfName(dir, getName(), *iv_pclConfig);
  iv_pclConfig->setTemplateName(templateName);
  iv_pclFileMgr->notifyCreate();
  removeMark(dir, getName());
}

void ItlClIndex::adminDestroy() {
  throwIfNotExistent();
  std::string work = iv_bWorkDirMade ? getWorkingDirectory() : "";
  writeMark(getDirectory(), getName(), "destroy", work);
  finishDestroy(work);
  iv_bWorkDirMade = false;
  iv_clLocation.setWorkingDirectory(nullptr);
  iv_pclDocNames->repointWorkingFiles(getWorkingDirectory());
}

void ItlClIndex::adminClear() {
  throwIfNotExistent();
  writeMark(getDirectory(), getName(), "clear", "");
  finishClear();
}

void ItlClIndex::adminRename(char const* newName) {
  throwIfNotExistent();
  if (!isValidIndexName(newName))
    itlRaise(ITL_SOURCE(ITL_ADMIN_ORIGIN), ItlEnReasonCode_Index_invalid_name,
             kMsgIndexName, newName != nullptr ? newName : "");
  std::string dir = getDirectory();
  if (std::strcmp(newName, getName()) == 0 || indexExistsAt(dir, newName))
    raiseExists(ITL_SOURCE(ITL_ADMIN_ORIGIN), newName);
  // What an interrupted operation left under the new name goes first.
  removeAllOfName(dir, newName, *iv_pclConfig);
  removeFilesOfName(dir, newName, false);
  std::string oldName = getName();
  writeMark(dir, newName, "rename", oldName);
  finishRename(oldName.c_str(), newName);
  iv_clLocation.setIndexName(newName);
  reInitKey();
  rebuildParts();
}

void ItlClIndex::checkTarget(char const* targetDirectory, char const* origin,
                             unsigned line) const {
  if (targetDirectory == nullptr || !isValidDirectoryName(targetDirectory)) {
    ItlClException e(origin, line, ItlEnReasonCode_Index_invalid_directory);
    e.context(kMsgIndexName) << ": " << getName();
    e.context(kMsgDirectory) << ": " << getDirectory();
    e.context(kMsgTargetDirectory)
        << ": " << (targetDirectory != nullptr ? targetDirectory : "");
    e.raise();
  }
  if (indexExistsAt(dirPath(targetDirectory), getName()))
    raiseExists(ITL_SOURCE(ITL_ADMIN_ORIGIN), getName());
}

void ItlClIndex::adminCopy(char const* targetDirectory) const {
  throwIfNotExistent();
  checkTarget(targetDirectory, "source/itl_index/itl_index:666", 666);
  copyTo(dirPath(targetDirectory));
}

void ItlClIndex::adminMove(char const* targetDirectory) {
  throwIfNotExistent();
  checkTarget(targetDirectory, "source/itl_index/itl_index:712", 712);
  std::string target = dirPath(targetDirectory);
  copyTo(target);
  // The copy is whole; the source goes (its working directory stays: it
  // serves the index in its new place).
  writeMark(getDirectory(), getName(), "destroy", "");
  finishDestroy("");
  iv_clLocation.setIndexDirectory(target.c_str());
  reInitKey();
  rebuildParts();
}
