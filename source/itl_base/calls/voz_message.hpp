// voz_message.hpp -- the engine's message texts: GTRgetMessage turns a
// status record into its message, in Japanese (Shift-JIS) for the engine's
// code-page code 1 and in English for the codes 2 to 37; itlGetEngineType
// names the engine.
//
// Each retcode that has a message of its own has one format text in each
// language, with the same inserts in the same order; the inserts depend on
// the retcode only (voz_message.cpp lists them). A format knows the
// conversions %s, %d and %ld (and %% for a percent sign); the engine fills
// them itself, so a table text can never read arguments that are not there.
#ifndef VOZ_MESSAGE_HPP
#define VOZ_MESSAGE_HPP

#include <cstddef>
#include <cstdint>

#include "files/voz_status.hpp"

// Size of the caller's message buffer that GTRgetMessage needs: room for the
// longest text with two names of 511 bytes (retcode 9) in either language.
// A longer text (never produced by a status that the engine filled) is cut
// at VOZ_MESSAGE_MAX - 1 bytes and NUL-terminated.
constexpr size_t VOZ_MESSAGE_MAX = 1280;

// Writes the message of *gsp for the code-page code `codepage` into `msg`
// (VOZ_MESSAGE_MAX bytes) as a NUL-terminated text. A code outside 1..37
// gives "Codepage parameter cannot be interpreted."; a cleared status gives
// the empty text, retcode 0 with bit 0x01 of retrieve_status the warning of
// a search stopped at its limit. The status is only read; names in it need
// no terminator (at most 511 bytes of each are used).
// REQUIRES: gsp and msg not NULL.
void GTRgetMessage(uint8_t codepage, const GTRSTATUS* gsp, char* msg);

// The constant text "ITL_ENGINE_VOZ_ONLY".
const char* itlGetEngineType();

// The format text of `retcode` for `codepage` (1..37; NULL outside): the
// retcode's own text, or the general text "(retcode, errcode)". Retcode 0
// gives the warning text.
const char* vozMessageFormat(uint8_t codepage, int32_t retcode);

#endif  // VOZ_MESSAGE_HPP
