// voz_message_tab.hpp -- the message tables behind GTRgetMessage: one
// (retcode, format) list per language, shared between voz_message.cpp
// (English) and voz_message_ja.cpp (Japanese).
#ifndef VOZ_MESSAGE_TAB_HPP
#define VOZ_MESSAGE_TAB_HPP

#include <cstddef>
#include <cstdint>

// One message: retcode 0 is the warning of a search stopped at its limit;
// VOZ_MSG_GENERAL the text of any retcode without one of its own.
struct VOZMSGTEXT {
    int32_t retcode;
    const char* text;
};
constexpr int32_t VOZ_MSG_GENERAL = -1;

// The text of `retcode` in `table`, else its general text.
const char* vozMessageLookup(const VOZMSGTEXT* table, size_t count,
                             int32_t retcode);

// Japanese texts (Shift-JIS) and English texts.
const char* vozGetMsg_1(int32_t retcode);
const char* vozGetMsg_5(int32_t retcode);

#endif  // VOZ_MESSAGE_TAB_HPP
