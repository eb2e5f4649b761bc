// voz_keyfile_codec.hpp -- on-disk form of the key file's records.
//
// Encoders and decoders of KEYINFO_0, KEY_REC (head records and header
// slots), KEY_CONT (continuations) and KEYIDX_ENTRY, side by side. The disk
// form is big-endian and written field by field; the layouts are the tables
// of voz_keyrec.hpp. Decoders take exactly the record's size in bytes and
// never fail: every bit pattern is a record, and the readers check what the
// values mean.
#ifndef VOZ_KEYFILE_CODEC_HPP
#define VOZ_KEYFILE_CODEC_HPP

#include <cstdint>

#include "files/voz_keyrec.hpp"

// Head record / header slot <-> 28 bytes.
void voz_KeyRecEncode(const KEY_REC* rec, uint8_t* out);
void voz_KeyRecDecode(const uint8_t* in, KEY_REC* rec);

// Continuation record <-> 28 bytes.
void voz_KeyContEncode(const KEY_CONT* rec, uint8_t* out);
void voz_KeyContDecode(const uint8_t* in, KEY_CONT* rec);

// Encodes a record of either form by its kind byte ('C': continuation).
void voz_KeyAnyEncode(const KEY_REC* rec, uint8_t* out);
// Decodes a record of either form by its kind byte.
void voz_KeyAnyDecode(const uint8_t* in, KEY_REC* rec);

// A continuation kept in a KEY_REC slot of a record array, and back.
KEY_CONT voz_KeyRecToCont(const KEY_REC& rec);
KEY_REC voz_KeyContToRec(const KEY_CONT& cont);

// Basic information record <-> 1296 bytes.
void voz_KeyInfoEncode(const KEYINFO_0* info, uint8_t* out);
void voz_KeyInfoDecode(const uint8_t* in, KEYINFO_0* info);

// Key-index entry <-> 16 bytes.
void voz_KeyIdxEncode(const KEYIDX_ENTRY* e, uint8_t* out);
void voz_KeyIdxDecode(const uint8_t* in, KEYIDX_ENTRY* e);

#endif  // VOZ_KEYFILE_CODEC_HPP
