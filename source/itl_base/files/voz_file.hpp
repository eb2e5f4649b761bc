// voz_file.hpp - the engine's buffered file FILE_CONTROL, partitioned files
// and the named file record NAMEDFCTL.
//
// Every engine file is read and written through FILE_CONTROL: a small
// stdio-like layer over open/read/write/lseek/close (large-file capable)
// with a 4096-byte buffer and a sticky error in place of ferror.  The calls
// are named after stdio and return like them.
//
// Partitioned files: a path that is a directory is one logical file whose
// bytes are spread over parts named by four lowercase hexadecimal digits
// ("0000", "0001", ... at most 65536 parts).  Every file created through
// voz_XXopen in a creating mode becomes such a directory.  A part grows
// until the file system refuses a write with EFBIG; from then on the part
// size is that part's length and the next byte goes to the next part.  The
// byte at logical position p lies in part p / partsize at offset
// p % partsize.  Positions are 64-bit, so a logical file may pass 2 GB even
// where single files may not.
//
// Conventions: nothing here writes the status record except voz_fclose and
// the NAMEDFCTL calls; everything else reports by return value, the sticky
// error and errno.  Once the sticky error is set every transfer, flush,
// seek and tell fails until voz_XXclearerror.
#ifndef VOZ_FILE_HPP
#define VOZ_FILE_HPP

#include <dirent.h>

#include <cstddef>
#include <cstdint>

struct GTRSTATUS;

// Longest engine file name, terminator included.
constexpr size_t VOZ_FNAME_LEN = 2075;

// Size of the buffer a FILE_CONTROL carries.
constexpr int32_t VOZ_FCTL_BUFSIZE = 4096;

// Part size of a partitioned file until the file system shows its limit.
constexpr int64_t VOZ_PART_SIZE_UNKNOWN = 2147483646;  // 0x7FFFFFFE

// Highest logical position of a partitioned file.
constexpr int64_t VOZ_POS_MAX = 0x7FFFFFFFFFFFFFFELL;

// Sticky error values beside errno values.
constexpr int32_t VOZ_FCTL_ERR_SHORT_WRITE = -13;  // wrote fewer bytes
constexpr int32_t VOZ_FCTL_ERR_MIXED = -14;  // read while buffer holds writes

// One open engine file.  Allocated by voz_XXopenEx and freed by voz_XXclose
// (with its part-directory copy); a buffer installed with voz_XXsetvbuf
// stays the caller's.  Fields 1-10 serve plain files; the rest serve
// partitioned files only.
struct FILE_CONTROL {
    int32_t fd;          // open descriptor (the current part's); -1 none
    int32_t bufsize;     // 4096 after open; voz_XXsetvbuf may change it
    char* bufstart;      // buffer in use (own buffer after open)
    char* bufptr;        // next byte to hand out (R) or to fill (W)
    int32_t bufleft;     // unread bytes in the buffer after a read fill
    char lastop;         // 'R' read data, 'W' unwritten data, 0 empty
    int64_t physpos;     // position at the buffer's edge: after a fill the
                         // position after the filled bytes; while writing
                         // where the buffer's first byte will go
    int32_t error;       // sticky error: 0, errno, or VOZ_FCTL_ERR_*
    char eof;            // set when a read reached the end
    char* partdir;       // heap copy of the part directory; null: plain
    int32_t oflags;      // open() flags derived from the mode
    int32_t perm;        // 0660, used when parts are created
    int64_t logpos;      // position in the logical file
    int64_t logsize;     // sum of the parts' sizes
    int64_t partsize;    // bytes per part; VOZ_PART_SIZE_UNKNOWN until known
    int32_t curpart;     // number of the part whose descriptor is open; -1
    int64_t partoff;     // the open part's descriptor position as last set
    char buf[VOZ_FCTL_BUFSIZE];  // the record's own buffer
};

// Opens `path` with mode "rb", "wb", "rb+", "wb+" or "ab" (any other mode
// returns null at once).  With `partition` 0 the path is opened as a plain
// file; otherwise a directory path is opened as a partitioned file, and a
// creating mode ("wb", "wb+") makes the path a directory with part "0000".
// Returns a new record, or null with errno set; nothing is left behind.
FILE_CONTROL* voz_XXopenEx(const char* path, const char* mode, int partition);

// voz_XXopenEx(path, mode, 1).
FILE_CONTROL* voz_XXopen(const char* path, const char* mode);
FILE_CONTROL* voz_XXopenFileWithMode(const char* path, const char* mode);

// Creates `path` as a new partitioned file opened "wb+", exclusively: the
// directory is made with mkdir (never reused) and part "0000" with O_EXCL.
// Returns null with errno EEXIST when the name is taken; an existing file
// or directory is never touched.  The parent directory must exist.
FILE_CONTROL* voz_XXcreateExclusive(const char* path);

// Reads up to size * count bytes; returns the number of whole items read.
size_t voz_XXread(void* buffer, size_t size, size_t count, FILE_CONTROL* f);

// Writes size * count bytes; returns the number of whole items taken.
size_t voz_XXwrite(const void* buffer, size_t size, size_t count,
                   FILE_CONTROL* f);

// Writes out buffered data and empties the buffer.  0 or -1.
int voz_XXflush(FILE_CONTROL* f);

// Positions the file; whence 0 start, 1 current, 2 end.  0 or -1.
int voz_XXseek64(FILE_CONTROL* f, int64_t offset, int whence);

// The logical position; -1 when the sticky error is set.
int64_t voz_XXtell64(FILE_CONTROL* f);

// Non-zero only when no buffered data is left and a read reached the end.
int voz_XXeof(FILE_CONTROL* f);

// Clears the sticky error.
void voz_XXclearerror(FILE_CONTROL* f);

// Empties the buffer without writing it.
void voz_ResetBuf(FILE_CONTROL* f);

// Installs a caller-owned buffer of `size` bytes (size > 0) and empties
// the buffer; `mode` is not used.  The buffer must outlive the file or the
// next voz_XXsetvbuf call.
void voz_XXsetvbuf(FILE_CONTROL* f, char* buffer, int mode, size_t size);

// Flushes, closes and frees the record.  Null is accepted (returns 0).
// Returns -1 when the flush or the close failed (the record is freed
// anyway).
int voz_XXclose(FILE_CONTROL* f);

// voz_XXclose; when it fails and `st` holds no error yet, records return
// code 10 with `reason`, `name` (may be null) and errno.  A null file does
// nothing.  Returns voz_XXclose's result.
int voz_fclose(FILE_CONTROL* f, const char* name, int32_t reason,
               GTRSTATUS* st);

// remove(path); when that fails and the path is a directory (a partitioned
// file), removes every entry of it (one level) and then the directory.
// 0 on success, else the failing call's result with errno set.
int voz_XXremove(const char* path);
int voz_XXremoveFile(const char* path);

// Creates every directory along `path` (mode 0770); existing directories
// and other failures are ignored.  Returns 0 when `path` is a directory
// afterwards, else -1.
int mkTreeDir(const char* path);

// 0 when stat(path) succeeds; `mode` is not used.
int voz_access(const char* path, int mode = 0);

// Reads the next entry of `dir` into `entry`; *result is `entry`, or null
// at the end.  0, or an errno value.
int voz_readdir_r(DIR* dir, struct dirent* entry, struct dirent** result);

// Named file record: a FILE_CONTROL with its name and current offset.
// The engine's callers also know it as FILECTLHEAD.
struct NAMEDFCTL {
    FILE_CONTROL* fctl;        // null while closed
    char name[VOZ_FNAME_LEN];  // zero-terminated
    int64_t offset;            // offset of the next read or write
};
typedef NAMEDFCTL FILECTLHEAD;

// Offset value of voz_FileCtl_Read that means: position at the end.
constexpr int64_t VOZ_FILECTL_END = -100;

// voz_XXopen(rec->name, mode); offset 0.  On failure return code 3 with
// `reason`, the name and errno.  0 or -1.
int voz_FileCtl_Open(NAMEDFCTL* rec, const char* mode, int32_t reason,
                     GTRSTATUS* st);

// 1 when a FILE_CONTROL is attached, else 0.
int voz_FileCtl_Opened(const NAMEDFCTL* rec);

// Positions, then reads exactly `length` bytes.  offset VOZ_FILECTL_END:
// seek to the end; other negative offsets: read at the current offset;
// 0 or more: absolute position.  With a null buffer or length < 1 it only
// positions and returns the current offset.  Returns the new offset, or -1
// with return code 6 (seek) or 4 (read) in `st`.
int64_t voz_FileCtl_Read(NAMEDFCTL* rec, int64_t offset, void* buffer,
                         int64_t length, int32_t reason, GTRSTATUS* st);

// Writes `length` bytes at the current position and advances the offset.
// Null buffer or length < 1 does nothing.  Returns the new offset, or -1
// with return code 5 in `st`.
int64_t voz_FileCtl_Write(NAMEDFCTL* rec, const void* buffer, int64_t length,
                          int32_t reason, GTRSTATUS* st);

// Closes the file (return code 10 with `reason` when it fails and `st` is
// still clear), detaches it and sets the offset to 0.  0 or -1.
int voz_FileCtl_Close(NAMEDFCTL* rec, int32_t reason, GTRSTATUS* st);

// Removes the named file; an empty name does nothing.  Failure: return
// code 8 with `reason`, the name and errno.  0 or -1.
int voz_FileCtl_Remove(NAMEDFCTL* rec, int32_t reason, GTRSTATUS* st);

#endif  // VOZ_FILE_HPP
