// itl_error_data.cpp: the error record (ItlClErrorData) and its bounded
// context stream.
//
// Invariants of the context text:
//   1. iv_acContext[512] is always 0 and nothing is ever written past it;
//   2. the bytes from the stream position on are 0, so the text reads as a
//      C string that ends at the position;
//   3. a context that had to be cut ends in "..." at bytes 509-511, and the
//      stream stays failed until resetContext, dropping later writes.
#include "itl_error.hpp"

#include <cstring>
#include <locale>
#include <new>

#include "cos_memmgr.hpp"
#include "cos_message.hpp"
#include "files/voz_status.hpp"

// ---------------------------------------------------------------------------
// ItlClContextBuffer

void ItlClContextBuffer::rewind(unsigned position) {
  if (position > SIZE) position = SIZE;
  setp(iv_pcText, iv_pcText + SIZE);
  pbump(static_cast<int>(position));
}

void ItlClContextBuffer::markCut() {
  std::memcpy(iv_pcText + SIZE - 3, "...", 3);
  iv_pcText[SIZE] = '\0';
}

ItlClContextBuffer::int_type ItlClContextBuffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof()))
    return traits_type::not_eof(c);
  markCut();  // the buffer is full and one more character came
  return traits_type::eof();
}

std::streamsize ItlClContextBuffer::xsputn(char const* s, std::streamsize n) {
  std::streamsize room = epptr() - pptr();
  std::streamsize take = n < room ? n : room;
  if (take > 0) {
    std::memcpy(pptr(), s, static_cast<size_t>(take));
    pbump(static_cast<int>(take));
  }
  if (take < n) markCut();
  return take;  // fewer than n fails the stream
}

// ---------------------------------------------------------------------------
// ItlClErrorData

ItlClErrorData::ItlClErrorData(ItlEnReturnCode rc, ItlEnReasonCode reason,
                               ItlEnErrorAction action)
    : iv_enReturnCode(rc),
      iv_enReasonCode(reason),
      iv_enAction(action),
      iv_acContext(),
      iv_clBuffer(iv_acContext),
      iv_clStream(&iv_clBuffer),
      iv_pclCatalog(nullptr),
      iv_pstVozStatus(nullptr) {
  iv_clStream.imbue(std::locale::classic());
}

ItlClErrorData::ItlClErrorData(ItlClErrorData const& other)
    : ItlClErrorData(other.iv_enReturnCode, other.iv_enReasonCode,
                     other.iv_enAction) {
  *this = other;
}

ItlClErrorData& ItlClErrorData::operator=(ItlClErrorData const& other) {
  if (this == &other) return *this;
  setCodes(other.iv_enReturnCode, other.iv_enReasonCode, other.iv_enAction);
  std::memcpy(iv_acContext, other.iv_acContext, sizeof iv_acContext);
  unsigned position = other.iv_clBuffer.position();
  if (!other.iv_clStream.good()) position = CONTEXT_SIZE;
  iv_clStream.clear();
  iv_clBuffer.rewind(position);
  std::memset(iv_acContext + position, 0, CONTEXT_SIZE + 1 - position);
  if (other.iv_pstVozStatus != nullptr)
    setVozStatus(*other.iv_pstVozStatus);
  else
    clearVozStatus();
  return *this;
}

ItlClErrorData::~ItlClErrorData() {
  if (iv_pclCatalog != nullptr) {
    iv_pclCatalog->~CosClMessageCatalog();
    CosClMemoryManager::free(iv_pclCatalog);
  }
  CosClMemoryManager::free(iv_pstVozStatus);
}

void ItlClErrorData::resetContext(char const* text) {
  std::memset(iv_acContext, 0, sizeof iv_acContext);
  iv_clStream.clear();
  iv_clBuffer.rewind(0);
  if (text != nullptr) iv_clStream << text << '\n';
}

void ItlClErrorData::loadMessageCatalog() {
  if (iv_pclCatalog == nullptr) {
    void* memory = CosClMemoryManager::allocate(sizeof(CosClMessageCatalog));
    try {
      iv_pclCatalog = new (memory) CosClMessageCatalog();
    } catch (...) {
      CosClMemoryManager::free(memory);
      throw;
    }
    iv_pclCatalog->useStringTable(gs_aszMessageStringTable,
                                  ITL_MESSAGE_TABLE_COUNT);
  }
  if (iv_clBuffer.position() > 0) iv_clStream << '\n';
}

std::ostream& ItlClErrorData::context(int id, char const* insert1,
                                      char const* insert2,
                                      char const* insert3) {
  loadMessageCatalog();
  {
    CosClMessage message(*iv_pclCatalog, static_cast<unsigned>(id), insert1,
                         insert2, insert3);
    iv_clStream << message.getText();
  }
  iv_acContext[CONTEXT_SIZE] = '\0';
  if (!iv_clStream.good() || iv_clBuffer.position() == CONTEXT_SIZE) {
    // No room for the value: mark the cut and drop what the caller adds.
    iv_clBuffer.markCut();
    iv_clStream.setstate(std::ios::badbit);
  }
  return iv_clStream;
}

GTRSTATUS* ItlClErrorData::getVozStatus() const {
  if (iv_pstVozStatus == nullptr) {
    iv_pstVozStatus =
        static_cast<GTRSTATUS*>(CosClMemoryManager::allocate(sizeof(GTRSTATUS)));
    std::memset(iv_pstVozStatus, 0, sizeof(GTRSTATUS));
  } else if (iv_enReturnCode == ItlEnReturnCode_Success) {
    std::memset(iv_pstVozStatus, 0, sizeof(GTRSTATUS));
  }
  return iv_pstVozStatus;
}

void ItlClErrorData::setVozStatus(GTRSTATUS const& status) {
  if (iv_pstVozStatus == nullptr)
    iv_pstVozStatus =
        static_cast<GTRSTATUS*>(CosClMemoryManager::allocate(sizeof(GTRSTATUS)));
  std::memcpy(iv_pstVozStatus, &status, sizeof(GTRSTATUS));
}

void ItlClErrorData::clearVozStatus() {
  if (iv_pstVozStatus != nullptr)
    std::memset(iv_pstVozStatus, 0, sizeof(GTRSTATUS));
}
