// voz_deldocs.hpp -- the list of deleted documents of one index half.
//
// Deleting documents does not touch the position lists: the numbers of the
// deleted documents are kept in a list per half ("Main.DEL" / "Supp.DEL" in
// the index's "del" directory, named by voz_IDXgetFname), and searches leave
// them out until the index is rebuilt or merged. The position store's
// function interface makes the object, hands the sorted numbers to the
// builder and the search, writes the list back and frees it.
//
// File layout (big-endian):
//   off      size  field
//     0         4  N, the number of document numbers
//     4        28  reserved: 0 in a new list, otherwise carried over as read
//    32    4 x N  document numbers, ascending, without duplicates
// Document numbers run from 0 to 2147483646. An empty list writes no file.
//
// Failures are thrown as CVozException: file failures as CVozFileIO gives
// them (with the file name), (11, 3451) / (11, 3452) when memory runs out,
// (30, the number) for a number above 2147483646.
#ifndef VOZ_DELDOCS_HPP
#define VOZ_DELDOCS_HPP

#include <cstdint>

#include "files/voz_exception.hpp"

constexpr int VOZ_DELDOCS_HEADER_SIZE = 32;

class CVozDeletedDocs : private CVozFileIO {
public:
    CVozDeletedDocs();
    ~CVozDeletedDocs() override;  // frees the numbers; the file is closed
    CVozDeletedDocs(const CVozDeletedDocs&) = delete;
    CVozDeletedDocs& operator=(const CVozDeletedDocs&) = delete;

    // Loads the list from file `name`; a missing file leaves the list empty.
    // The file is closed in every case; the first failure is thrown.
    void Internalize(const char* name);

    // Writes the list to file `name` (created or emptied); an empty list
    // writes nothing and leaves an existing file unchanged. The file is
    // closed in every case; the first failure is thrown. The list in memory
    // stays as it was.
    void Externalize(const char* name);

    // Adds n document numbers (any order, duplicates allowed). A number
    // above 2147483646 throws (30, that number) and leaves the list as it
    // was; no memory throws (11, 3452).
    void RegisterDeletedDocs(const uint32_t* numbers, uint32_t n);

    // The numbers, ascending and unique, and how many there are. The array
    // stays the object's; it moves when numbers are registered.
    const uint32_t* Numbers() const { return m_numbers; }
    uint32_t Count() const { return m_count; }

private:
    void runThenClose(void (CVozDeletedDocs::*step)());
    void readNumbers();
    void writeNumbers();
    void mergeSorted(const uint32_t* fresh, uint32_t k);

    uint8_t m_header[VOZ_DELDOCS_HEADER_SIZE];  // as last read; 0 when new
    uint32_t m_count;                            // numbers in the list
    uint32_t* m_numbers;                         // ascending, unique
    uint32_t m_capacity;                         // entries allocated
};

#endif  // VOZ_DELDOCS_HPP
