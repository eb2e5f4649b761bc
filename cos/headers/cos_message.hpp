// cos_message.hpp: message catalogues and messages.
//
// Every text shown to a person comes from a catalogue by number: an X/Open
// catalogue file (catopen/catgets, set 1, numbers from 1) or, when no file
// can be opened, a built-in table of strings. A message may hold inserts
// "%1" to "%10" (missing arguments and numbers outside 1..10 give "???"),
// "%%" gives "%". Nothing here throws except the memory manager's
// out-of-memory exception; a message that cannot be loaded yields a
// fallback text ("UNABLE TO LOAD MESSAGE ...") and a clear loaded flag.
//
// Built-in table: entry 0 is "[COS_MSGTAB_SIGNATURE] <count>", entry n is
// message n; the count the caller passes is the one used.
#ifndef COS_MESSAGE_HPP
#define COS_MESSAGE_HPP

#include <nl_types.h>

#include "cos_file.hpp"

// Longest expanded message text, in characters.
constexpr unsigned COS_MESSAGE_MAX = 4096;
// Number of insert arguments.
constexpr unsigned COS_MESSAGE_ARGS = 10;

class CosClMessageCatalog : public CosClFile {
 public:
  // The catalogue file `fileName` with its extension replaced by ".cat";
  // opens it (init()).
  explicit CosClMessageCatalog(CosClFilenameABase const& fileName);
  explicit CosClMessageCatalog(char const* fileName);
  // No file (empty name, extension ".cat"): only a table can serve.
  CosClMessageCatalog();
  ~CosClMessageCatalog() override;
  CosClMessageCatalog(CosClMessageCatalog const&) = delete;
  CosClMessageCatalog& operator=(CosClMessageCatalog const&) = delete;

  // Opens the catalogue under the user's locale, else under "C", and
  // checks that message 1 of set 1 can be read.
  void init();
  // Messages are taken from `table` (count entries; not copied, must
  // outlive the catalogue) while the file is not open.
  void useStringTable(char const* const* table, unsigned count);
  bool isValidMessageId(unsigned number) const { return number != 0; }

  bool isOpen() const { return iv_bOpen; }
  bool isDefaultCatalog() const { return iv_bDefault; }
  nl_catd getHandle() const { return iv_hCatalog; }
  char const* const* getStringTable() const { return iv_ppszTable; }
  unsigned getStringTableCount() const { return iv_uTableCount; }

 private:
  nl_catd iv_hCatalog;
  bool iv_bOpen;
  bool iv_bDefault;
  char const* const* iv_ppszTable;
  unsigned iv_uTableCount;
};

class CosClMessage {
 public:
  static constexpr unsigned INLINE_MAX = 80;

  CosClMessage(CosClMessageCatalog const& catalog, unsigned number);
  CosClMessage(CosClMessageCatalog const& catalog, unsigned number,
               char const* a1, char const* a2 = nullptr,
               char const* a3 = nullptr, char const* a4 = nullptr,
               char const* a5 = nullptr, char const* a6 = nullptr,
               char const* a7 = nullptr, char const* a8 = nullptr,
               char const* a9 = nullptr, char const* a10 = nullptr);
  // `args`: ten strings (any may be null), or null for none.
  CosClMessage(CosClMessageCatalog const& catalog, unsigned number,
               char const* const* args);
  CosClMessage(CosClMessage const& other);
  CosClMessage& operator=(CosClMessage const& other);
  ~CosClMessage();

  char const* setNewMessageId(unsigned number);
  char const* setNewMessageId(unsigned number, char const* a1,
                              char const* a2 = nullptr,
                              char const* a3 = nullptr,
                              char const* a4 = nullptr,
                              char const* a5 = nullptr,
                              char const* a6 = nullptr,
                              char const* a7 = nullptr,
                              char const* a8 = nullptr,
                              char const* a9 = nullptr,
                              char const* a10 = nullptr);
  // Loads the message with `args` (ten strings or null) and returns it.
  char const* loadMessage(char const* const* args);

  char const* getText() const { return iv_pszText; }
  operator char const*() const { return iv_pszText; }
  unsigned getMessageId() const { return iv_uNumber; }
  bool isLoaded() const { return iv_bLoaded; }
  // The text is held on the heap (longer than INLINE_MAX characters).
  bool isOnHeap() const { return iv_pszText != iv_szInline; }

  // Copies `templ` into `out`, "%%" as "%", "%n" as args[n-1] ("???" for
  // n = 0, n > argCount or a null argument; '%' before a non-digit gives
  // "???" too). Stops after `outMax` characters; out needs outMax + 1 bytes.
  // Returns the characters written.
  static unsigned replaceVars(char* out, unsigned outMax, char const* templ,
                              char const* const* args, unsigned argCount);

 private:
  void setText(char const* text, unsigned length);
  void freeText();

  CosClMessageCatalog const& iv_rclCatalog;
  char iv_szInline[INLINE_MAX + 1];
  char* iv_pszText;
  unsigned iv_uNumber;
  bool iv_bLoaded;
};

// The plain-function interface: a handle is a proxy that returns texts in
// its own buffer (valid until the next call on the handle).
class CosClMessageCatalogProxy;
typedef CosClMessageCatalogProxy* CosMsgCatHandle;

// An owning proxy over the catalogue file `name`; null when it cannot be
// opened. Close with cosMsgCatClose.
CosMsgCatHandle cosMsgCatOpen(char const* name);
// A proxy over `catalog` (not owned); null when it is not open.
CosMsgCatHandle cosMsgCatOpenAttach(CosClMessageCatalog* catalog);
// An owning proxy that falls back to `table` when the file cannot be
// opened; never null.
CosMsgCatHandle cosMsgCatOpenOrUseStringTable(char const* name,
                                              char const* const* table,
                                              unsigned count);
bool cosMsgCatIsValid(CosMsgCatHandle handle, unsigned number);
char const* cosMsgCatGet(CosMsgCatHandle handle, unsigned number);
// Up to ten insert strings, the list ended by a null pointer.
char const* cosMsgCatGetVar(CosMsgCatHandle handle, unsigned number, ...);
void cosMsgCatClose(CosMsgCatHandle handle);

// The services library's own table: COS_MESSAGE_TABLE_COUNT entries (221)
// and one more, the bare signature, after them.
constexpr unsigned COS_MESSAGE_TABLE_COUNT = 221;
extern char const* const gs_apszCosMessageTable[COS_MESSAGE_TABLE_COUNT + 1];

#endif  // COS_MESSAGE_HPP
