// cos_argv.hpp: cursors over the process's argument vector.
//
// CosClArgvCursor walks the arguments after the program name (element 0 is
// never a position: the cursor is valid for 1 <= index < argc).
// CosClArgvCheckCursor judges the current argument against a usage text
// (notation: cos_usage.hpp): is it a legal switch, the value of the switch
// before it, a free argument, on a tagged line? CosClArgvFreeCursor stops
// only on free arguments (neither switches nor switch values).
//
// The cursors hold pointers to the caller's vector and usage text; nothing
// is copied or allocated, and every judgement rescans the usage text.
// Nothing here reports errors: a name that is not found leaves the cursor
// invalid and the query answers false.
#ifndef COS_ARGV_HPP
#define COS_ARGV_HPP

#include "cos_usage.hpp"

class CosClConsoleUI;

class CosClArgvCursor : public CosClBiDirCursorABase {
 public:
  // REQUIRES: argv holds argc strings and outlives the cursor. Both place
  // the cursor on index 1.
  CosClArgvCursor(int argc, char const* const* argv);
  // The count and vector the console user interface was built with.
  explicit CosClArgvCursor(CosClConsoleUI const& ui);
  CosClArgvCursor(CosClArgvCursor const&) = default;
  CosClArgvCursor& operator=(CosClArgvCursor const&) = default;

  bool isValid() const override { return iv_iIndex >= 1 && iv_iIndex < iv_iCount; }
  bool setToFirst() override;
  bool setToNext() override;
  bool setToLast() override;
  bool setToPrevious() override;

  // REQUIRES: isValid().
  char const* getAsCString() const { return iv_ppszArgv[iv_iIndex]; }
  // The program as it was started (element 0).
  char const* getArgv0() const { return iv_ppszArgv[0]; }
  int getIndex() const { return iv_iIndex; }

  // The current argument is a switch ("-" and a non-digit).
  bool isSwitch() const;
  // The current argument is the switch `name` ("-name"; a leading "-" of
  // `name` is ignored when `name` is itself a switch). Case-sensitive.
  bool matches(char const* name) const;
  // To the first argument that matches(name); false (invalid) if none.
  bool positionTo(char const* name);

 protected:
  // The argument at `index`, null outside 1 <= index < argc.
  char const* argAt(int index) const;

 private:
  int iv_iCount;                    // argc of the process
  int iv_iIndex;                    // current position
  char const* const* iv_ppszArgv;   // argv of the process (not owned)
};

class CosClArgvCheckCursor : public CosClArgvCursor {
 public:
  // REQUIRES: usage (may be null: no entries) outlives the cursor.
  CosClArgvCheckCursor(int argc, char const* const* argv, char const* usage);
  // The vector and the usage text currently set in `ui`.
  explicit CosClArgvCheckCursor(CosClConsoleUI const& ui);
  CosClArgvCheckCursor(CosClArgvCheckCursor const&) = default;
  CosClArgvCheckCursor& operator=(CosClArgvCheckCursor const&) = default;

  // A switch named in the usage text, or a non-switch that is bound or for
  // which the usage text foresees a free parameter.
  bool isLegal() const;
  // A non-switch right after a switch that requires a value.
  bool isBound() const;
  // A switch whose usage entry requires a value.
  bool reqArg() const;
  // A switch followed by a non-switch argument.
  bool hasArg() const;
  // Neither a switch nor bound.
  bool isFree() const;
  // The argument's full text names an entry on a tagged line.
  bool isTagged() const;

  char const* getUsage() const { return iv_pszUsage; }

 private:
  char const* iv_pszUsage;  // not owned
};

// Stops only on free arguments.
class CosClArgvFreeCursor : public CosClArgvCheckCursor {
 public:
  using CosClArgvCheckCursor::CosClArgvCheckCursor;

  bool setToFirst() override;
  bool setToNext() override;
  bool setToLast() override;
  bool setToPrevious() override;

 private:
  bool settleOnFree(bool forward);
};

#endif  // COS_ARGV_HPP
