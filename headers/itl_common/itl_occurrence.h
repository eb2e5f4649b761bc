/* itl_occurrence.h: the caller's description of one hit of a search in a
 * document, as the highlighter takes it (an array with a count).
 *
 * 12 bytes, the first 12 bytes of the engine's occurrence record: the
 * document value (signed 32-bit, not negative; carried into the engine's
 * document field), the position of the hit's first character as the index
 * counts positions (signed 32-bit, from 1, strictly ascending over the
 * array), its length in positions (not 0), a value of at most 100 and the
 * word rule of the index that found it (0 letters only, 1 letters and
 * digits). Compiles as C.
 */
#ifndef ITL_OCCURRENCE_H
#define ITL_OCCURRENCE_H

#include <stdint.h>

typedef struct _ItlStOccurrence {
  int32_t iDocument;
  int32_t iPosition;
  uint16_t usLength;
  uint8_t ucWeight;
  uint8_t ucWordRule;
} ItlStOccurrence;

#endif /* ITL_OCCURRENCE_H */
