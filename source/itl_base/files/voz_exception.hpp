// voz_exception.hpp - the exception and base classes of the engine's
// storage classes: CVozException, CVozObject, CVozFileIO,
// CVozBlockCtrlBase, the byte buffers and the 32-bit sorts.
//
// The storage classes (page pools, block files, slot blocks, deleted-
// document lists, position lists) throw CVozException by value and catch it
// by reference.  Its content is exactly the engine status record GTRSTATUS,
// so the plain functions at the border of the storage copy a caught
// exception onto their caller's record whole (CopyTo), and a record that a
// plain function filled is thrown by copying it (the GTRSTATUS
// constructor).  Closing sequences run every step, keep the first
// exception caught and throw a copy of it at the end.
//
// Nothing here runs concurrently; the engine takes no locks.  Memory comes
// from the system allocator.
#ifndef VOZ_EXCEPTION_HPP
#define VOZ_EXCEPTION_HPP

#include <cstddef>
#include <cstdint>

#include "files/voz_file.hpp"
#include "files/voz_status.hpp"

class CVozBufferInfo;

// The one exception of the storage classes: the fields of GTRSTATUS, in
// the same order and widths, nothing else (no base, nothing virtual).
// `system_errno` is 0 in every exception thrown by the storage classes.
class CVozException {
public:
    // Clears the record, sets retcode, errcode and the extra value
    // (`detail`), and stores the two texts by the status record's
    // file-name rule (null stores "").
    CVozException(int32_t rc = 0, int32_t ec = 0, const char* text1 = nullptr,
                  const char* text2 = nullptr, int32_t extra = 0);
    // Takes over a status record that a plain function filled.
    explicit CVozException(const GTRSTATUS& st);
    CVozException(const CVozException& other);
    CVozException& operator=(const CVozException& other);

    // Copies the whole record onto `st` (which may be null).
    void CopyTo(GTRSTATUS* st) const;

    int32_t retcode;
    int32_t errcode;
    uint8_t retrieve_status;
    uint8_t processed_index;
    uint8_t filler;
    uint8_t limit_mark;
    char errfname1[VOZ_STATUS_NAME_LEN];
    char errfname2[VOZ_STATUS_NAME_LEN];
    int32_t system_errno;
    int32_t detail;
    uint8_t reserved[20];
};

// Copies a caught exception onto a status record whole (the seam between
// the storage classes and the plain functions).  A null `st` is accepted.
void voz_StatusFromException(GTRSTATUS* st, const CVozException& e);

// Root of the engine's storage classes.
class CVozObject {
public:
    CVozObject() = default;
    virtual ~CVozObject();
};

// One engine file owned by a storage class: wraps a FILE_CONTROL opened
// through voz_XXopen (so created files are partitioned) and turns every
// failure into a CVozException (retcode, errcode, file name).  The
// destructor does not close the file: every owner calls Close itself.
// Not copyable.  Subclasses keep the virtual slot order and append theirs.
class CVozFileIO : public CVozObject {
public:
    CVozFileIO();
    ~CVozFileIO() override;
    CVozFileIO(const CVozFileIO&) = delete;
    CVozFileIO& operator=(const CVozFileIO&) = delete;

    // Opens `name` with `mode` and gives the file the object's buffer.
    // Throws (3, 3351, name) when the file cannot be opened, also when the
    // name is not shorter than VOZ_FNAME_LEN.
    virtual void Open(const char* name, const char* mode);
    // Closes the file (nothing when none is open).  Throws (10, 3352,
    // name) when the flush or close fails; the file is closed anyway.
    virtual void Close();
    // Reads exactly `length` bytes; fewer: (4, 3353, name).
    virtual void Read(void* buffer, int32_t length);
    // Overridden by the page buffer pool; does nothing here.
    virtual void Read(CVozBufferInfo& info);
    // Writes `length` bytes; failure: (5, 3354, name).
    virtual void Write(const void* buffer, int32_t length);
    // Overridden by the page buffer pool; does nothing here.
    virtual void Write(CVozBufferInfo& info);
    // Positions the file; whence 0 start, 1 current, 2 end.  (6, 3355).
    virtual void Seek(int64_t offset, int whence);
    // The current position, also kept as the last position.  (7, 3356).
    virtual int64_t Tell();
    // Writes out buffered data; voz_XXflush's result, never throws.
    virtual int Flush();

    bool IsOpen() const { return m_file != nullptr; }
    const char* Name() const { return m_name; }
    int64_t LastPosition() const { return m_lastPos; }
    FILE_CONTROL* File() const { return m_file; }

protected:
    FILE_CONTROL* m_file;                // open file; null while closed
    char m_iobuf[VOZ_FCTL_BUFSIZE];      // buffer the file control uses
    int64_t m_lastPos;                   // as the last Tell returned it
    char m_name[VOZ_FNAME_LEN];          // name given to the last Open
};

// Common base of the two block-control files.
class CVozBlockCtrlBase : public CVozFileIO {
public:
    CVozBlockCtrlBase() = default;
    ~CVozBlockCtrlBase() override;
};

// Growable byte buffer (system allocator).  A failed growth throws
// (11, errcode) with empty texts and keeps the old bytes and capacity.
// Not copyable.
template <typename T>
class CVozBufferBase : public CVozObject {
public:
    CVozBufferBase() = default;
    ~CVozBufferBase() override;
    CVozBufferBase(const CVozBufferBase&) = delete;
    CVozBufferBase& operator=(const CVozBufferBase&) = delete;

    // Appends n bytes (growing first when they do not fit); returns the
    // new length.  REQUIRES: n >= 0.
    int32_t Add(const void* bytes, int32_t n);
    // Makes room for n more bytes beyond the length: while capacity <
    // length + n the capacity becomes min(2 * (n + capacity),
    // n + capacity + 65536), at least 256.
    void Extend(int32_t n);
    // Makes the capacity at least n (min(2n, n + 65536), at least 256,
    // when it grows) and sets the length to 0.
    void Allocate(int32_t n);

    T* data = nullptr;       // the bytes; null until first growth
    int32_t length = 0;      // bytes in use
    int32_t errcode = 0;     // reason of an out-of-memory throw
    int32_t capacity = 0;    // bytes allocated

private:
    void Grow(int64_t newCapacity);
};

class CVozBufferByte1 : public CVozBufferBase<int8_t> {
public:
    ~CVozBufferByte1() override;
};

class CVozBufferUByte1 : public CVozBufferBase<uint8_t> {
public:
    ~CVozBufferUByte1() override;
};

extern template class CVozBufferBase<int8_t>;
extern template class CVozBufferBase<uint8_t>;

// In-place ascending sorts of 32-bit arrays (iterative quicksort with an
// explicit stack of O(log n) pairs).  They never fail and leave the status
// record untouched; a null array or count < 2 does nothing.
class CVozFunctions {
public:
    static void SortINT4(int32_t* array, int32_t count, GTRSTATUS* st);
    static void SortUINT4(uint32_t* array, int32_t count, GTRSTATUS* st);
};

#endif  // VOZ_EXCEPTION_HPP
