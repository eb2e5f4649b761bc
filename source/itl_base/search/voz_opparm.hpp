// voz_opparm.hpp -- the evaluation parameters of one operator (OPPARM).
//
// The evaluation driver builds one OPPARM per kept operator, in the postfix
// order of the caller's operators (the last entry is the root), after it
// dropped empty operands; the operand-control and operand-slot arrays of all
// operators share one allocation with the OPPARM array, and the driver frees
// that block. The operator evaluation (voz_evalhit.hpp) and the document
// walks read it; the working members at the end belong to the evaluation.
//
// Node numbers are slot numbers after the driver's renumbering: the words
// come first (0 .. words-1), then the operators. node_rec and opnd_recs
// point into the driver's working controls (one _WCTLHEAD per slot).
// In-memory record only, natural x86-64 layout; it is cleared (memset 0)
// before it is filled.
#ifndef VOZ_OPPARM_HPP
#define VOZ_OPPARM_HPP

#include <cstdint>

struct _WCTLHEAD;
struct BLOCKCTL;
struct MULTIFIELDCTRL;

// Operator kinds (OPPARM::kind, OPEINFO::op_kind).
constexpr char VOZ_OP_AND = 'A';
constexpr char VOZ_OP_OR = 'O';
constexpr char VOZ_OP_NOT = 'N';
constexpr char VOZ_OP_DIST = 'D';   // all operands inside one unit (block)

// Sub-kinds (OPPARM::subkind, the operator's mode byte). 0 reads as strict.
constexpr char VOZ_SUB_STRICT = 'S';
constexpr char VOZ_SUB_PARTIAL = 'F';  // any operand counts
constexpr char VOZ_SUB_PROX = 'P';     // partial, with proximity ranking

// Largest boundary-key number a 'D' operator may name as its unit.
constexpr int16_t VOZ_OP_MAX_DISTANCE = 32;

struct OPPARM {
    // Leading members of the caller's operator, copied unchanged.
    char kind;               // VOZ_OP_*
    char ope_mode;           // the caller's mode byte as given
    int16_t distance;        // 'D': boundary key whose blocks are the
                             // units, 0..32
    int32_t ope_count;       // the caller's operand count
    // What the driver kept.
    int32_t nopnd;           // kept operands, >= 1
    _WCTLHEAD* node_rec;     // the operator's own control
    int32_t node_no;         // its slot number
    _WCTLHEAD** opnd_recs;   // nopnd operand controls
    int32_t* opnd_nos;       // nopnd operand slots, ascending; for 'N' the
                             // first is the positive operand and the rest
                             // ascend
    char subkind;            // 'S', 'F' or 'P' (0 = 'S'); a 'P' operator
                             // left with one operand is 'S'
    float opnd_weight_sum;   // sum of the operands' weights (words: their
                             // operand weight; operators: 1.0)
    // Working members of the operator evaluation.
    BLOCKCTL* unit_reader;   // 'D': block reader on boundary key
                             // `distance`; allocated by
                             // voz_InitForOperation, freed by
                             // voz_TermForOperation; null otherwise
    int32_t best_units;      // 'D': most distinct operands seen in one
                             // unit of the current document
    uint8_t* unit_seen;      // 'D': nopnd marks, one per operand seen in
                             // the unit under test; allocated and freed
                             // with unit_reader
    MULTIFIELDCTRL* field_ctl;  // the operator's own field controls; null
                                // = no field list (one whole-text pass)
};

#endif  // VOZ_OPPARM_HPP
