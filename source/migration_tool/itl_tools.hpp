// itl_tools.hpp: the helper functions the index tools share (vqxmaptool
// and tools of the same family): handle set-up and clean-up, documents and
// attributes from files into an update, error displays and hex dumps.
//
// They use only the exported itl functions and the services library. Each
// writes what it does through the given console UI; return codes are the
// library's (0, 4, 8, 16) unless a function says otherwise.
#ifndef ITL_TOOLS_HPP
#define ITL_TOOLS_HPP

#include <cstdint>

#include "itl_api.h"

class CosClConsoleUI;

// Reads -i (index name) and -p (index directory) from the console's
// arguments (both required: the console ends the program when one is
// missing); makes the error info, registers itlToolsErrorCallback with
// `title` as user data, makes the context and the index handle; with the
// switch -dsplog the index reports its progress (itlIndexSetDisplayLog).
// Returns 0; 2 when no error info could be made; else the error info's
// reason code. The caller deletes what was made (itlToolsDeleteIndexHandle,
// then the error info).
int itlToolsInitIndexHandle(CosClConsoleUI& console, char const* title,
                            ItlTyContextHandle* context,
                            ItlTyIndexHandle* index,
                            ItlTyErrorInfoHandle* errorInfo, bool verbose);
// Deletes the index handle, then the context handle (each reported; a null
// handle is reported as not applied). Returns the last return code.
int itlToolsDeleteIndexHandle(CosClConsoleUI& console,
                              ItlTyContextHandle* context,
                              ItlTyIndexHandle* index);

// Reads the whole file into a new buffer of size + 1 bytes (a NUL after
// the content) from the services' memory manager; the caller frees it with
// CosClMemoryManager::free. Returns 0; 15 when the file is missing or
// cannot be read; 2 when the buffer cannot be allocated. On failure
// *buffer is null and *size 0.
int itlToolsLoadFileContent(char const* fileName, char** buffer,
                            uint32_t* size);

// An error-info callback (ItlTyErrorCallback): `user` is the application
// title. Prints an empty line and "ERROR CALLBACK: Application title: "
// with the title; for every action but Ignore the starred error block
// (itlToolsDisplayError); for Abort it then aborts the process.
void itlToolsErrorCallback(void* errorInfo, void* user);
// The starred error block of `errorInfo` on standard output.
void itlToolsDisplayError(ItlTyErrorInfoHandle errorInfo);
// When the error info's return code is not 0: a header with `message`,
// then labelled lines of reason, return code and action (number and name),
// context and origin.
void itlToolsDisplayError(CosClConsoleUI& console, char const* message,
                          ItlTyErrorInfoHandle errorInfo);

// " <label> " when a label is given, each byte as two hex digits and a
// blank, then " \n", on standard output.
void printHex(char* data, unsigned int length, char* label);

// Indexes the document in file `fileName` under `docId` (format, model
// name of less than 1024 bytes, CCSID, language), or with `remove` removes
// the document `docId`. Returns the update's return code; 15 or 2 when the
// file cannot be loaded.
int itlToolsUpdateOneDoc(CosClConsoleUI& console,
                         ItlTyIndexUpdateHandle update,
                         ItlTyDocumentIDHandle docId, bool remove,
                         char const* fileName, ItlEnDocumentFormat format,
                         char const* docModel, ItlTyCCSID ccsid,
                         char const* language);
// Sets the attributes of ini file `fileName` on document `docId`: sections
// "DATE" (NAME, YEAR, MONTH, DAY), "NUMBER" (NAME, VALUE) and "STRING"
// (NAME, VALUE, CCSID; language English). Values that do not parse, and
// other sections, are reported and left out. Returns 0, 15 when the file
// is missing or cannot be read, else the last failing return code.
int itlToolsUpdateAttrs(CosClConsoleUI& console,
                        ItlTyIndexUpdateHandle update,
                        ItlTyDocumentIDHandle docId, char const* fileName);

#endif  // ITL_TOOLS_HPP
