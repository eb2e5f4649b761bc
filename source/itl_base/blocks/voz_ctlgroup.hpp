// voz_ctlgroup.hpp - replacing several control files as one atomic step,
// through a commit journal, and the file-operation hook of the commit.
//
// A position store keeps three block files (slot, branch, leaf), each with
// its own control file.  Replacing the three one after another would let a
// kill between two replacements leave a control state that is neither the
// old nor the new one.  CVozControlGroup collects the new content of every
// control file and makes all of them current together:
//
// Commit order (CVozControlGroup::Write), with the function behind each move:
//   I1. Every page that a new control refers to is on stable storage before
//       the group is written (each manager's durable point syncs its block
//       file before it hands its control to the group).
//   I2. The journal holds the complete new content of every control file of
//       the group.  It is written to "<journal>.tmp", forced to disk and
//       renamed to "<journal>", and the directory is forced
//       (voz_BLKreplaceFile).  That rename is the commit point: before it
//       every control file is old, after it the new state is decided.
//   I3. Only after the journal is durable is any control file replaced; each
//       replacement is itself atomic (voz_BLKreplaceFile), so a control file
//       is always either its old or its new content.
//   I4. The journal is removed only after every replacement is durable; a
//       journal left behind is replayed whole, and replaying is idempotent.
//   I5. Opening for update first replays a journal found beside its control
//       files (voz_BLKrecoverJournal), so nothing reads or writes a control
//       file of an interrupted commit before it has been finished.
//
//      old controls, no journal
//          |  Write: journal.tmp written, fsync          (kill: old state;
//          |         rename journal.tmp -> journal,       journal.tmp is
//          v         fsync directory   <- commit point    left, ignored)
//      old/new controls + journal
//          |  Write: replace control 1..n (each atomic)   (kill: recovery
//          |  voz_BLKrecoverJournal on the next open       replays the
//          v                                               journal)
//      new controls + journal
//          |  Write / recovery: unlink journal, fsync directory
//          v
//      new controls, no journal
//
// Journal file (integers big-endian, written field by field):
//   off     size  field
//     0        4  magic "VOZJ"
//     4        4  number of control files N, 1..16
//     8        4  total length of the journal in bytes (the file's size)
//    12        4  reserved, 0
//    16        .  N entries:
//                   +0   2  name length L, 1..1023
//                   +2   L  control file name relative to the journal's
//                           directory (no "..", no leading "/")
//                   +2+L 4  content length C
//                   +6+L C  content of the control file
//   end-4      4  FNV-1a hash of every byte before it
// A journal that breaks any of these rules is refused with (17, 3359,
// name); nothing is replayed from it.
#ifndef VOZ_CTLGROUP_HPP
#define VOZ_CTLGROUP_HPP

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Test hook: when set, called before every file operation of a durable
// point (each fsync, write, rename and unlink made by voz_BLKsyncPath,
// voz_BLKreplaceFile and the journal).  `what` names the operation.  Null
// (the default) costs one test of a pointer per operation.
using VozFileOpHook = void (*)(void* context, const char* what);
void voz_BLKsetFileOpHook(VozFileOpHook hook, void* context);
// Calls the hook when one is set.
void voz_BLKfileOp(const char* what);

class CVozControlGroup {
public:
    CVozControlGroup();
    ~CVozControlGroup();
    CVozControlGroup(const CVozControlGroup&) = delete;
    CVozControlGroup& operator=(const CVozControlGroup&) = delete;

    // Adds (or replaces) the new content of control file `path`.
    void Add(const char* path, std::vector<uint8_t> bytes);
    bool Empty() const { return m_paths.empty(); }
    size_t Size() const { return m_paths.size(); }
    // Forgets the collected contents.
    void Clear();
    // Makes every collected control file current in one step (see the
    // commit order above) through journal `journal`, then clears the group.
    // Every path must lie in the journal's directory or below it.  Throws
    // the failures of voz_BLKreplaceFile; (17, 3359, path) for a path
    // outside the journal's directory.  A failure before the commit point
    // leaves every old control; one after it is finished by recovery.
    // Nothing is written when every content equals what the last Write of
    // this group wrote to the same file.
    void Write(const char* journal);

private:
    std::vector<std::string> m_paths;
    std::vector<std::vector<uint8_t>> m_bytes;
    std::vector<std::string> m_lastPaths;  // as the last Write left them
    std::vector<std::vector<uint8_t>> m_lastBytes;
};

// Finishes an interrupted group commit: when `journal` exists its controls
// are replaced by the journal's contents and the journal is removed; a
// "<journal>.tmp" left by a commit that never reached its commit point is
// removed.  Returns true when a journal was replayed.  Throws (17, 3359,
// journal) for a damaged journal and the failures of voz_BLKreplaceFile.
bool voz_BLKrecoverJournal(const char* journal);

// The encoded journal of `names` (relative) and `contents`.
std::vector<uint8_t> voz_BLKencodeJournal(
    const std::vector<std::string>& names,
    const std::vector<std::vector<uint8_t>>& contents);
// Decodes a journal; false when it breaks a rule of the layout.
bool voz_BLKdecodeJournal(const std::vector<uint8_t>& bytes,
                          std::vector<std::string>* names,
                          std::vector<std::vector<uint8_t>>* contents);

#endif  // VOZ_CTLGROUP_HPP
