// itl_dl_text.hpp: small text helpers of the document layer (private).
#ifndef ITL_DL_TEXT_HPP
#define ITL_DL_TEXT_HPP

#include <string>

// NUL-terminated UTF-16 as UTF-8 for a context line; unpaired surrogates
// become U+FFFD. Null gives "".
std::string itlUtf16ToUtf8(unsigned short const* s);

#endif  // ITL_DL_TEXT_HPP
