// voz_fieldctl.hpp -- field controls of a search: the registry of the
// field-number keys that some word or operator restricts itself to, and the
// test whether an occurrence lies inside an instance of a field.
//
// A field is stored as the field-number key of its number: per document,
// the start and the end position of each instance of the field in turn
// (start = the field's first unit, end = the unit after its last one), so
// a boundary with an even ordinal (1-based) ends an instance. An occurrence
// (document d, position p, unit length L) lies inside field f when f's key,
// read forward to its first boundary after p in d, stands on an instance
// end e whose start is <= p and p + L <= e.
//
// Field keys are only read forward: within one document the occurrences
// tested against one control must come in ascending position order, and
// the documents in ascending order (the document walks present them so).
//
// Life cycle: voz_InitMultiFieldCtrl -> voz_RegisterFieldNumber ... ->
// voz_RegisterFieldNumberFinish (opens the keys, keeps the fields that
// exist) -> tests -> voz_TermMultiFieldCtrl (also after any failure).
#ifndef VOZ_FIELDCTL_HPP
#define VOZ_FIELDCTL_HPP

#include <cstdint>

#include "search/voz_searchrec.hpp"

struct GTRSTATUS;

// Posting control of one registered field-number key, with the reading
// state of the document it stands on.
struct FIELDCTRL {
    uint16_t field;          // field number
    PCTLHEAD* pctl;          // its key's posting control; null until
                             // registration ends
    int32_t ordinal;         // boundaries of pctl's document read so far
    int32_t before;          // the boundary before pctl->curPos; 0 = none
};

// One field a word may match (8 bytes).
struct FIELDARRAY {
    uint16_t field;          // field number
    int16_t weight;          // weight in percent
    float normWeight;        // normalised weight
};

// The field controls of a search or of one operator (cleared at start).
struct MULTIFIELDCTRL {
    PCTLHEAD* fieldPctl;     // one control per registered field that exists
    int32_t fieldCount;      // entries of fieldTable
    int32_t fieldCapacity;   // allocated entries of fieldTable
    FIELDCTRL* fieldTable;   // ascending by field number
    char weighted;           // non-zero when field weights apply
    // An operator's own control only: its field list, one evaluation pass
    // per entry (the operator's result word's table; not owned).
    int32_t nfields;
    FIELDARRAY* fields;
};

// Errcodes (retcode 11).
constexpr int32_t VOZ_EC_FIELDTABLE_GROW = 860;   // field-number table
constexpr int32_t VOZ_EC_FIELDPCTL_ALLOC = 861;   // field posting controls

// Clears `mfc` and sets its weighting flag.
void voz_InitMultiFieldCtrl(MULTIFIELDCTRL* mfc, char weighted,
                            GTRSTATUS* st);

// Adds `field` once (the table stays ascending). On failure (11/860) the
// table is freed and the control emptied.
void voz_RegisterFieldNumber(MULTIFIELDCTRL* mfc, uint16_t field,
                             GTRSTATUS* st);

// Opens the key of every registered field and keeps the fields that exist
// in the index (nothing when none is registered). On failure (11/861 or
// the storage's status) everything opened is ended and the control
// emptied.
void voz_RegisterFieldNumberFinish(MULTIFIELDCTRL* mfc, IDXINFO* index,
                                   GTRSTATUS* st);

// 1 when `field` is registered; *next := the next registered number
// (0xFFFF after the last). 0 when it is not: *next := the registered number
// where the search stopped (0xFFFF past the end, and for an empty table).
int32_t voz_CheckFieldExistence(IDXINFO* index, const MULTIFIELDCTRL* mfc,
                                uint16_t field, uint16_t* next,
                                GTRSTATUS* st);

// Sort by field number.
void voz_SortFieldCtrl(FIELDCTRL* table, int32_t n, GTRSTATUS* st);
void voz_SortFieldArray(FIELDARRAY* table, int32_t n, GTRSTATUS* st);

// Ends every field control (the first failure is kept when the status is
// clear) and frees and clears the control.
void voz_TermMultiFieldCtrl(MULTIFIELDCTRL* mfc, GTRSTATUS* st);

// Answers of voz_FieldPlace.
constexpr int32_t VOZ_FIELD_ERROR = -1;
constexpr int32_t VOZ_FIELD_NONE = 0;     // no boundary after p in doc
constexpr int32_t VOZ_FIELD_OUTSIDE = 1;  // a boundary follows; not inside
constexpr int32_t VOZ_FIELD_INSIDE = 2;

// Where the occurrence (doc, pos, len) lies relative to the registered
// field `fc` (VOZ_FIELD_*); moves the field's key forward.
int32_t voz_FieldPlace(IDXINFO* index, FIELDCTRL* fc, int32_t doc,
                       int32_t pos, int32_t len, GTRSTATUS* st);

// Tests `occ` against the word's fields fa[0 .. count-1] and sets
// occ->spare to the field it lies in (0 = none). Unweighted: the first
// such field in table order. Weighted: the field with the largest
// normalised weight (the first of equals; a weight of 0 is never taken),
// returned through *weight. Returns 1 when some listed field still has a
// boundary after the occurrence in its document, else 0 (and 0 on a
// failure, with the status).
char voz_CheckMultiField(IDXINFO* index, MULTIFIELDCTRL* mfc,
                         const FIELDARRAY* fa, uint16_t count, OCC* occ,
                         float* weight, GTRSTATUS* st);

// Sets supps[i].in_field of the n occurrences of one document (in
// position order) to 1 exactly when occs[i] lies inside an instance of
// `field`; 0 for all when the field is not registered.
void voz_CheckFieldRange(IDXINFO* index, MULTIFIELDCTRL* mfc, uint16_t field,
                         const OCC* occs, OCCSUPP* supps, int32_t n,
                         GTRSTATUS* st);

// The same for occurrences that the walk made relative to a VVG: they lie
// in document `doc` at position pos + base.
void voz_CheckFieldRangeAt(IDXINFO* index, MULTIFIELDCTRL* mfc,
                           uint16_t field, int32_t doc, int32_t base,
                           const OCC* occs, OCCSUPP* supps, int32_t n,
                           GTRSTATUS* st);

#endif  // VOZ_FIELDCTL_HPP
