// cos_bitarray.cpp: bit arrays and their stored form (layout in
// cos_bitarray.hpp).
#include "cos_bitarray.hpp"

#include <cassert>
#include <cstring>
#include <istream>
#include <ostream>

#include "cos_memmgr.hpp"

namespace {

// Bytes allocated through the memory manager, freed unless released.
struct ManagedBytes {
    unsigned char* bytes = nullptr;
    ManagedBytes() = default;
    ManagedBytes(ManagedBytes const&) = delete;
    ManagedBytes& operator=(ManagedBytes const&) = delete;
    ~ManagedBytes() { CosClMemoryManager::free(bytes); }
    unsigned char* release() {
        unsigned char* result = bytes;
        bytes = nullptr;
        return result;
    }
};

unsigned char* copyOf(unsigned char const* bytes, uint32_t count) {
    auto copy = static_cast<unsigned char*>(CosClMemoryManager::allocate(count));
    std::memcpy(copy, bytes, count);
    return copy;
}

// Reads `total` bytes into `out`, growing the buffer as data arrives.
// False when the stream ends first.
bool readGrowing(std::istream& in, uint32_t total, ManagedBytes& out) {
    constexpr uint32_t kFirstPiece = 4096;
    uint32_t have = 0, capacity = 0;
    while (have < total) {
        if (have == capacity) {
            uint32_t grown = capacity < kFirstPiece ? kFirstPiece : capacity;
            capacity = total - capacity < grown ? total : capacity + grown;
            unsigned char* bigger =
                static_cast<unsigned char*>(CosClMemoryManager::allocate(capacity));
            if (have > 0) std::memcpy(bigger, out.bytes, have);
            CosClMemoryManager::free(out.bytes);
            out.bytes = bigger;
        }
        in.read(reinterpret_cast<char*>(out.bytes + have), capacity - have);
        have += static_cast<uint32_t>(in.gcount());
        if (!in) return have == total;
    }
    return true;
}

}  // namespace

CosClBitArray::CosClBitArray(uint32_t bits) : iv_uiBitCount(bits), iv_pucBytes(nullptr) {
    iv_pucBytes = static_cast<unsigned char*>(CosClMemoryManager::allocate(getByteCount()));
    std::memset(iv_pucBytes, 0, getByteCount());
}

CosClBitArray::CosClBitArray(CosClBitArray const& other)
    : CosClPersistencyABase(), iv_uiBitCount(other.iv_uiBitCount),
      iv_pucBytes(copyOf(other.iv_pucBytes, other.getByteCount())) {}

CosClBitArray& CosClBitArray::operator=(CosClBitArray const& other) {
    if (this == &other) return *this;
    unsigned char* copy = copyOf(other.iv_pucBytes, other.getByteCount());
    CosClMemoryManager::free(iv_pucBytes);
    iv_pucBytes = copy;
    iv_uiBitCount = other.iv_uiBitCount;
    return *this;
}

CosClBitArray::~CosClBitArray() {
    CosClMemoryManager::free(iv_pucBytes);
}

bool CosClBitArray::operator==(CosClBitArray const& other) const {
    return iv_uiBitCount == other.iv_uiBitCount &&
           std::memcmp(iv_pucBytes, other.iv_pucBytes, getByteCount()) == 0;
}

void CosClBitArray::write(std::ostream& out) const {
    unsigned char count[4];
    for (int i = 0; i < 4; ++i) count[i] = static_cast<unsigned char>(iv_uiBitCount >> (8 * i));
    out.write(reinterpret_cast<char const*>(count), sizeof count);
    out.write(reinterpret_cast<char const*>(iv_pucBytes), getByteCount());
}

void CosClBitArray::read(std::istream& in) {
    unsigned char count[4];
    in.read(reinterpret_cast<char*>(count), sizeof count);
    if (in.gcount() != sizeof count) {
        in.setstate(std::ios::failbit);
        return;
    }
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) bits |= static_cast<uint32_t>(count[i]) << (8 * i);
    ManagedBytes bytes;
    if (!readGrowing(in, bits / 8 + 1, bytes)) {
        in.setstate(std::ios::failbit);
        return;
    }
    CosClMemoryManager::free(iv_pucBytes);
    iv_pucBytes = bytes.release();
    iv_uiBitCount = bits;
}

bool CosClBitArray::getBit(uint32_t bit) const {
    assert(bit < iv_uiBitCount);
    return (iv_pucBytes[bit / 8] >> (bit % 8)) & 1;
}

void CosClBitArray::setBit(uint32_t bit, bool value) {
    assert(bit < iv_uiBitCount);
    unsigned char mask = static_cast<unsigned char>(1u << (bit % 8));
    if (value) iv_pucBytes[bit / 8] |= mask;
    else iv_pucBytes[bit / 8] &= static_cast<unsigned char>(~mask);
}
