// itl_docmap_files.cpp: opening map files, the control records and the
// data and index file pair of one map (ItlClDocNameMappingFiles).
//
// Descriptors: the data and index read slots and the two working slots.
// During an update the read slots may share the working descriptors
// (iv_bReadSlotsShared); each descriptor is closed once.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "itl_docmap_error.hpp"
#include "itl_docmap_files.hpp"
#include "itl_docmap_io.hpp"
#include "itl_index_location.hpp"

#define ITL_FILES_ORIGIN "source/itl_index/itl_docmap_files"

void itlDocMapRaiseErrno(char const* origin, unsigned line,
                         ItlEnReasonCode reason, char const* name,
                         int messageId, int error) {
  ItlClException e(origin, line, reason);
  e.resetContext(name);
  if (messageId != 0) e.context(messageId) << ": " << error;
  e.raise();
}

void itlDocMapRaiseCorrupted(char const* origin, unsigned line,
                             char const* name) {
  ItlClException e(origin, line, ItlEnReasonCode_Docmap_corrupted);
  if (name != nullptr) e.context(ITL_MSG_FILE_NAME) << ": " << name;
  e.raise();
}

// ---- control records --------------------------------------------------

void itlEncodeDataCtl(ItlStDataCtlRecord const& r, uint8_t* b) {
  itlPutLE64(b, r.ulHighestDocNumber);
  itlPutLE32(b + 8, r.uiBlockCount);
  std::memcpy(b + 12, r.acEyecatcher, ITL_DOCMAP_EYECATCH_SIZE);
  itlPutLE16(b + 42, r.usMaxDocIdLength);
}

void itlDecodeDataCtl(uint8_t const* b, ItlStDataCtlRecord& r) {
  r.ulHighestDocNumber = itlGetLE64(b);
  r.uiBlockCount = itlGetLE32(b + 8);
  std::memcpy(r.acEyecatcher, b + 12, ITL_DOCMAP_EYECATCH_SIZE);
  r.usMaxDocIdLength = itlGetLE16(b + 42);
}

void itlEncodeIndexCtl(ItlStIndexCtlRecord const& r, uint8_t* b) {
  itlPutLE32(b, r.uiEntryCount);
  itlPutLE64(b + 4, r.ulDocumentCount);
  std::memcpy(b + 12, r.acEyecatcher, ITL_DOCMAP_EYECATCH_SIZE);
  itlPutLE16(b + 42, r.usMaxDocIdLength);
}

void itlDecodeIndexCtl(uint8_t const* b, ItlStIndexCtlRecord& r) {
  r.uiEntryCount = itlGetLE32(b);
  r.ulDocumentCount = itlGetLE64(b + 4);
  std::memcpy(r.acEyecatcher, b + 12, ITL_DOCMAP_EYECATCH_SIZE);
  r.usMaxDocIdLength = itlGetLE16(b + 42);
}

// ---- ItlClFileAccess --------------------------------------------------

namespace {

// Open flags of an fopen-style mode; -1 for an illegal one.
int openFlags(char const* mode) {
  bool plus = mode[0] != '\0' && mode[1] == '+';
  switch (mode[0]) {
    case 'r': return plus ? O_RDWR : O_RDONLY;
    case 'w': return (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC;
    case 'a': return (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
    default: return -1;
  }
}

// The open itself; -1 with errno on failure, after the tolerance rules.
int openDescriptor(char const* name, char const* mode, bool tolerateMissing) {
  int flags = mode == nullptr ? -1 : openFlags(mode);
  if (flags < 0) {
    ItlClException e(ITL_SOURCE(ITL_FILES_ORIGIN),
                     ItlEnReasonCode_Io_open_error);
    e.resetContext(name);
    e.context(ITL_MSG_FILE_OPEN_FAILED)
        << ": illegal open mode " << (mode == nullptr ? "" : mode);
    e.raise();
  }
  // Owner and group may read and write, as far as the umask lets the group
  // write: 0600 | ((077 - umask) & 060). The kernel applies the umask to
  // 0660 with exactly that result, so the umask is never touched.
  int fd = open(name, flags | O_LARGEFILE | O_CLOEXEC, 0660);
  if (fd >= 0) return fd;
  int error = errno;
  if (tolerateMissing) {
    struct stat st;
    // Missing, or an empty regular file: no content. A directory or any
    // other thing in the file's place is an error.
    if (stat(name, &st) != 0 || (S_ISREG(st.st_mode) && st.st_size <= 0))
      return -1;
  }
  itlDocMapRaiseErrno(ITL_SOURCE(ITL_FILES_ORIGIN),
                      ItlEnReasonCode_Io_open_error, name,
                      ITL_MSG_FILE_OPEN_FAILED, error);
}

}  // namespace

void ItlClFileAccess::itlOpenFile(char const* name, char const* mode,
                                  bool tolerateMissing, int& descriptor) {
  descriptor = -1;
  descriptor = openDescriptor(name, mode, tolerateMissing);
}

void ItlClFileAccess::itlOpenFile(char const* name, char const* mode,
                                  bool tolerateMissing, FILE*& stream) {
  stream = nullptr;
  int fd = openDescriptor(name, mode, tolerateMissing);
  if (fd < 0) return;
  stream = fdopen(fd, mode);
  if (stream == nullptr) {
    int error = errno;
    close(fd);
    itlDocMapRaiseErrno(ITL_SOURCE(ITL_FILES_ORIGIN),
                        ItlEnReasonCode_Io_open_error, name,
                        ITL_MSG_FILE_OPEN_FAILED, error);
  }
}

// ---- ItlClDocNameMappingFiles -----------------------------------------

namespace {

void initEyecatcher(char* field, char const* text) {
  std::memset(field, 0, ITL_DOCMAP_EYECATCH_SIZE);
  std::strncpy(field, text, ITL_DOCMAP_EYECATCH_SIZE - 1);
}

}  // namespace

ItlClDocNameMappingFiles::ItlClDocNameMappingFiles(
    ItlClIndexLocation const& location, char const* dataExtension,
    char const* dataWorkingExtension, char const* indexExtension,
    char const* indexWorkingExtension, char const* dataEyecatcher,
    char const* indexEyecatcher)
    : iv_rclLocation(location),
      iv_pszDataExt(dataExtension),
      iv_pszDataWorkExt(dataWorkingExtension),
      iv_pszIndexExt(indexExtension),
      iv_pszIndexWorkExt(indexWorkingExtension),
      iv_iDataFd(-1),
      iv_iDataWorkFd(-1),
      iv_iIndexFd(-1),
      iv_iIndexWorkFd(-1),
      iv_bReadSlotsShared(false),
      iv_uiCurrentBlock(0),
      iv_pclSeqBlock(nullptr),
      iv_pclFixBlock(nullptr),
      iv_usMaxNameSize(0),
      iv_usSeqEntrySize(0),
      iv_uiSeqEntriesPerBlock(0) {
  std::memset(&iv_stDataCtl, 0, sizeof iv_stDataCtl);
  std::memset(&iv_stIndexCtl, 0, sizeof iv_stIndexCtl);
  initEyecatcher(iv_stDataCtl.acEyecatcher, dataEyecatcher);
  initEyecatcher(iv_stIndexCtl.acEyecatcher, indexEyecatcher);
  refreshNames();
}

ItlClDocNameMappingFiles::~ItlClDocNameMappingFiles() {
  try {
    closeAll();
  } catch (ItlClException const&) {
    // A destructor never throws; the descriptors are released anyway.
  }
  delete iv_pclFixBlock;
  delete iv_pclSeqBlock;
}

void ItlClDocNameMappingFiles::refreshNames() {
  CosClLocation const& dir = iv_rclLocation.getIndexDirectory();
  CosClLocation const& work = iv_rclLocation.getWorkingDirectory();
  char const* index = iv_rclLocation.getIndexName();
  iv_clDataName = CosClFilename(dir, index, iv_pszDataExt);
  std::string const workBase = iv_rclLocation.getWorkBaseName();
  iv_clDataWorkName = CosClFilename(work, workBase.c_str(), iv_pszDataWorkExt);
  iv_clIndexName = CosClFilename(dir, index, iv_pszIndexExt);
  iv_clIndexWorkName =
      CosClFilename(work, workBase.c_str(), iv_pszIndexWorkExt);
}

void ItlClDocNameMappingFiles::setWorkingDirectory(char const* directory) {
  iv_clDataWorkName.setNewPath(directory);
  iv_clIndexWorkName.setNewPath(directory);
}

void ItlClDocNameMappingFiles::setNameLayout(uint16_t maxNameSize,
                                             bool fixed) {
  delete iv_pclFixBlock;
  iv_pclFixBlock = nullptr;
  delete iv_pclSeqBlock;
  iv_pclSeqBlock = nullptr;
  iv_uiCurrentBlock = 0;
  if (fixed)
    iv_pclFixBlock = new ItlClDocMapBlockFix(maxNameSize);
  else
    iv_pclSeqBlock = new ItlClDocMapBlockSeq();
  iv_usMaxNameSize = maxNameSize;
  iv_stDataCtl.usMaxDocIdLength = maxNameSize;
  iv_stIndexCtl.usMaxDocIdLength = maxNameSize;
  iv_usSeqEntrySize = static_cast<uint16_t>(maxNameSize + 10);
  iv_uiSeqEntriesPerBlock = ITL_DOCMAP_BLOCK_SIZE / (maxNameSize + 10u);
}

void ItlClDocNameMappingFiles::closeDescriptor(int& descriptor,
                                               CosClFilename const& name) {
  if (descriptor < 0) return;
  int fd = descriptor;
  descriptor = -1;
  if (close(fd) != 0)
    itlDocMapRaiseErrno(ITL_SOURCE(ITL_FILES_ORIGIN),
                        ItlEnReasonCode_Io_close_error, name,
                        ITL_MSG_FILE_CLOSE_FAILED, errno);
}

void ItlClDocNameMappingFiles::dropSharedReadSlots() {
  if (!iv_bReadSlotsShared) return;
  iv_iDataFd = -1;
  iv_iIndexFd = -1;
  iv_bReadSlotsShared = false;
  iv_uiCurrentBlock = 0;
}

void ItlClDocNameMappingFiles::closeAll() {
  dropSharedReadSlots();
  iv_uiCurrentBlock = 0;
  if (ItlClDocMapBlockBase* block = getBlock()) block->unmapBlock();
  closeDescriptor(iv_iDataFd, iv_clDataName);
  closeDescriptor(iv_iDataWorkFd, iv_clDataWorkName);
  closeDescriptor(iv_iIndexFd, iv_clIndexName);
  closeDescriptor(iv_iIndexWorkFd, iv_clIndexWorkName);
}

void ItlClDocNameMappingFiles::access4Update() {
  dropSharedReadSlots();
  iv_uiCurrentBlock = 0;
  if (ItlClDocMapBlockBase* block = getBlock()) block->unmapBlock();
  closeDescriptor(iv_iDataFd, iv_clDataName);
  closeDescriptor(iv_iIndexFd, iv_clIndexName);

  // Data working copy: open and read its record, or create it.
  closeDescriptor(iv_iDataWorkFd, iv_clDataWorkName);
  itlOpenFile(iv_clDataWorkName, "r+b", true, iv_iDataWorkFd);
  bool dataHasContent = false;
  if (iv_iDataWorkFd >= 0) {
    uint8_t bytes[ITL_DOCMAP_CTL_SIZE];
    long long n = itlDocMapReadAt(iv_iDataWorkFd, bytes, sizeof bytes, 0);
    int error = errno;
    if (n == ITL_DOCMAP_CTL_SIZE) {
      uint16_t size = iv_stDataCtl.usMaxDocIdLength;
      itlDecodeDataCtl(bytes, iv_stDataCtl);
      iv_stDataCtl.usMaxDocIdLength = size;
      dataHasContent = true;
    } else if (n != 0) {
      ItlClException e(ITL_SOURCE(ITL_FILES_ORIGIN),
                       ItlEnReasonCode_Docmap_corrupted);
      e.context(ITL_MSG_FILE_READ_FAILED) << ": " << (n < 0 ? error : 0);
      e.context(ITL_MSG_FILE_READ_FAILED)
          << ": uiBytesRead " << (n < 0 ? 0 : n);
      e.context(ITL_MSG_FILE_READ_FAILED)
          << ": sizeof(ItlStDataCtlRecord) " << ITL_DOCMAP_CTL_SIZE;
      e.raise();
    }
  }

  // Index working copy.
  bool indexHasContent =
      readIndexControl("r+b", true, true) == 1 && iv_iIndexWorkFd >= 0;
  if (dataHasContent != indexHasContent) {
    // One file of the pair without the other: a map cut in half.
    closeAll();
    itlDocMapRaiseCorrupted(ITL_SOURCE(ITL_FILES_ORIGIN),
                   dataHasContent ? iv_clIndexWorkName : iv_clDataWorkName);
  }
  if (!dataHasContent) {
    iv_stDataCtl.ulHighestDocNumber = 0;
    iv_stDataCtl.uiBlockCount = 0;
    closeDescriptor(iv_iDataWorkFd, iv_clDataWorkName);
    itlOpenFile(iv_clDataWorkName, "w+b", false, iv_iDataWorkFd);
    uint8_t bytes[ITL_DOCMAP_CTL_SIZE];
    itlEncodeDataCtl(iv_stDataCtl, bytes);
    if (!itlDocMapWriteAt(iv_iDataWorkFd, bytes, sizeof bytes, 0))
      itlDocMapRaiseErrno(ITL_SOURCE(ITL_FILES_ORIGIN),
                          ItlEnReasonCode_Io_write_error, iv_clDataWorkName,
                          ITL_MSG_FILE_WRITE_FAILED, errno);
  }
  if (!indexHasContent) {
    iv_stIndexCtl.uiEntryCount = 0;
    iv_stIndexCtl.ulDocumentCount = 0;
    closeDescriptor(iv_iIndexWorkFd, iv_clIndexWorkName);
    itlOpenFile(iv_clIndexWorkName, "w+b", false, iv_iIndexWorkFd);
    uint8_t bytes[ITL_DOCMAP_CTL_SIZE];
    itlEncodeIndexCtl(iv_stIndexCtl, bytes);
    if (!itlDocMapWriteAt(iv_iIndexWorkFd, bytes, sizeof bytes, 0))
      itlDocMapRaiseErrno(ITL_SOURCE(ITL_FILES_ORIGIN),
                          ItlEnReasonCode_Io_write_error, iv_clIndexWorkName,
                          ITL_MSG_FILE_WRITE_FAILED, errno);
  }
}

void ItlClDocNameMappingFiles::access4Read(bool& exists) {
  exists = true;
  if (iv_iDataWorkFd >= 0) {
    // An update is running: read through the working copies.
    if (!iv_bReadSlotsShared) {
      closeDescriptor(iv_iDataFd, iv_clDataName);
      closeDescriptor(iv_iIndexFd, iv_clIndexName);
      iv_iDataFd = iv_iDataWorkFd;
      iv_iIndexFd = iv_iIndexWorkFd;
      iv_bReadSlotsShared = true;
      iv_uiCurrentBlock = 0;
    }
    return;
  }
  dropSharedReadSlots();
  bool dataHasContent = iv_iDataFd >= 0;
  if (iv_iDataFd < 0) {
    iv_uiCurrentBlock = 0;
    itlOpenFile(iv_clDataName, "rb", true, iv_iDataFd);
    if (iv_iDataFd >= 0) {
      uint8_t bytes[ITL_DOCMAP_CTL_SIZE];
      long long n = itlDocMapReadAt(iv_iDataFd, bytes, sizeof bytes, 0);
      int error = errno;
      if (n == ITL_DOCMAP_CTL_SIZE) {
        uint16_t size = iv_stDataCtl.usMaxDocIdLength;
        itlDecodeDataCtl(bytes, iv_stDataCtl);
        iv_stDataCtl.usMaxDocIdLength = size;
        dataHasContent = true;
      } else if (n == 0) {
        closeDescriptor(iv_iDataFd, iv_clDataName);
      } else {
        closeDescriptor(iv_iDataFd, iv_clDataName);
        ItlClException e(ITL_SOURCE(ITL_FILES_ORIGIN),
                         ItlEnReasonCode_Docmap_corrupted);
        e.context(ITL_MSG_FILE_READ_FAILED) << ": " << (n < 0 ? error : 0);
        e.context(ITL_MSG_FILE_READ_FAILED) << ": " << iv_clDataName;
        e.raise();
      }
    }
  }
  bool indexHasContent = readIndexControl("rb", false, true) == 1;
  if (indexHasContent && iv_iIndexFd < 0) indexHasContent = false;
  if (dataHasContent != indexHasContent) {
    CosClFilename const& missing =
        dataHasContent ? iv_clIndexName : iv_clDataName;
    closeDescriptor(iv_iDataFd, iv_clDataName);
    closeDescriptor(iv_iIndexFd, iv_clIndexName);
    itlDocMapRaiseCorrupted(ITL_SOURCE(ITL_FILES_ORIGIN), missing);
  }
  if (!dataHasContent) {
    closeDescriptor(iv_iIndexFd, iv_clIndexName);
    exists = false;
  }
}

uint32_t ItlClDocNameMappingFiles::readIndexControl(char const* mode,
                                                    bool useWorkingCopy,
                                                    bool tolerateMissing) {
  int& fd = useWorkingCopy ? iv_iIndexWorkFd : iv_iIndexFd;
  CosClFilename const& name =
      useWorkingCopy ? iv_clIndexWorkName : iv_clIndexName;
  if (fd >= 0) return 1;
  // A missing or empty file is told apart from one that cannot be opened:
  // the first is 0 or 374, the second 16.
  itlOpenFile(name, mode, true, fd);
  if (fd < 0) {
    if (tolerateMissing) return 0;
    ItlClException(ITL_SOURCE(ITL_FILES_ORIGIN), ItlEnReasonCode_Empty_index)
        .raise();
  }
  uint8_t bytes[ITL_DOCMAP_CTL_SIZE];
  long long n = itlDocMapReadAt(fd, bytes, sizeof bytes, 0);
  int error = n < 0 ? errno : 0;
  uint32_t records = n == ITL_DOCMAP_CTL_SIZE ? 1 : 0;
  if (records == 0) {
    // An empty file is a map without content when tolerated; a record cut
    // short is never taken for one.
    if (tolerateMissing && n == 0) return 0;
    closeDescriptor(fd, name);
    ItlClException e(ITL_SOURCE(ITL_FILES_ORIGIN),
                     ItlEnReasonCode_Docmap_corrupted);
    e.context(ITL_MSG_FILE_READ_FAILED) << ": " << error;
    e.context(ITL_MSG_FILE_READ_FAILED) << ": uiUnitsRead " << records;
    e.context(ITL_MSG_FILE_READ_FAILED)
        << ": sizeof(ItlStIndexCtlRecord) " << ITL_DOCMAP_CTL_SIZE;
    e.raise();
  }
  ItlStIndexCtlRecord record;
  itlDecodeIndexCtl(bytes, record);
  if (record.usMaxDocIdLength != 0 &&
      record.usMaxDocIdLength != iv_usMaxNameSize) {
    closeDescriptor(fd, name);
    ItlClException e(ITL_SOURCE(ITL_FILES_ORIGIN),
                     ItlEnReasonCode_Docmap_corrupted);
    e.context(ITL_MSG_CONFIG_CONFLICT);
    e.context(ITL_MSG_FILE_NAME) << ": " << iv_clIndexName;
    e.context(ITL_MSG_OPTION) << ": MaxDocumentIDLength";
    e.raise();
  }
  record.usMaxDocIdLength = iv_usMaxNameSize;
  iv_stIndexCtl = record;
  return 1;
}

void ItlClDocNameMappingFiles::writeControlRecord(int extraDescriptor) {
  // Written whatever the document count: a map whose last document went
  // keeps its highest number, so numbers are never used twice.
  uint8_t bytes[ITL_DOCMAP_CTL_SIZE];
  dropSharedReadSlots();
  if (ItlClDocMapBlockBase* block = getBlock()) block->unmapBlock();
  if (iv_iIndexWorkFd >= 0) {
    itlEncodeIndexCtl(iv_stIndexCtl, bytes);
    if (!itlDocMapWriteAt(iv_iIndexWorkFd, bytes, sizeof bytes, 0))
      itlDocMapRaiseErrno(ITL_SOURCE(ITL_FILES_ORIGIN),
                          ItlEnReasonCode_Io_write_error, iv_clIndexWorkName,
                          ITL_MSG_FILE_WRITE_FAILED, errno);
    closeDescriptor(iv_iIndexWorkFd, iv_clIndexWorkName);
  }
  itlEncodeDataCtl(iv_stDataCtl, bytes);
  if (iv_iDataWorkFd >= 0) {
    if (!itlDocMapWriteAt(iv_iDataWorkFd, bytes, sizeof bytes, 0))
      itlDocMapRaiseErrno(ITL_SOURCE(ITL_FILES_ORIGIN),
                          ItlEnReasonCode_Io_write_error, iv_clDataWorkName,
                          ITL_MSG_FILE_WRITE_FAILED, errno);
    closeDescriptor(iv_iDataWorkFd, iv_clDataWorkName);
  }
  if (extraDescriptor >= 0 &&
      !itlDocMapWriteAt(extraDescriptor, bytes, sizeof bytes, 0))
    itlDocMapRaiseErrno(ITL_SOURCE(ITL_FILES_ORIGIN),
                        ItlEnReasonCode_Io_write_error, nullptr,
                        ITL_MSG_FILE_WRITE_FAILED, errno);
}

void ItlClDocNameMappingFiles::loadBlock(int fd, char const* name,
                                         uint32_t block, uint32_t blocks) {
  ItlClDocMapBlockBase* reader = getBlock();
  if (reader == nullptr) itlDocMapRaiseCorrupted(ITL_SOURCE(ITL_FILES_ORIGIN), nullptr);
  reader->clear();
  iv_uiCurrentBlock = 0;
  if (fd < 0)
    ItlClException(ITL_SOURCE(ITL_FILES_ORIGIN), ItlEnReasonCode_Empty_index)
        .raise();
  // Never read a block that the record or the file does not hold whole.
  long long size = itlDocMapFileSize(fd);
  if (size < 0)
    itlDocMapRaiseErrno(ITL_SOURCE(ITL_FILES_ORIGIN),
                        ItlEnReasonCode_Io_read_error, name,
                        ITL_MSG_FILE_READ_FAILED, errno);
  int64_t offset =
      ITL_DOCMAP_CTL_SIZE + int64_t{block - 1} * ITL_DOCMAP_BLOCK_SIZE;
  if (block == 0 || block > blocks || offset + ITL_DOCMAP_BLOCK_SIZE > size)
    itlDocMapRaiseCorrupted(ITL_SOURCE(ITL_FILES_ORIGIN), name);
  long long n = itlDocMapReadAt(fd, reader->getData(), ITL_DOCMAP_BLOCK_SIZE,
                                offset);
  if (n != ITL_DOCMAP_BLOCK_SIZE) {
    int error = n < 0 ? errno : 0;
    reader->clear();
    itlDocMapRaiseErrno(ITL_SOURCE(ITL_FILES_ORIGIN),
                        ItlEnReasonCode_Io_read_error, name,
                        ITL_MSG_FILE_READ_FAILED, error);
  }
  reader->analyse();
}

void ItlClDocNameMappingFiles::readDataBlock(uint32_t blockNumber) {
  ItlClDocMapBlockBase* block = getBlock();
  if (block == nullptr) itlDocMapRaiseCorrupted(ITL_SOURCE(ITL_FILES_ORIGIN), nullptr);
  if (blockNumber != 0 && blockNumber == iv_uiCurrentBlock) {
    block->resetCursors();
    return;
  }
  loadBlock(iv_iDataFd, iv_bReadSlotsShared ? iv_clDataWorkName : iv_clDataName,
            blockNumber, iv_stDataCtl.uiBlockCount);
  iv_uiCurrentBlock = blockNumber;
}
