// cos_bitarray.hpp: a fixed-size array of bits that can be stored in and
// read from a stream.
//
// Stored form (written by write(), read by read()):
//   off  size            field
//     0     4            bit count n, host byte order (least significant
//                        byte first on this platform)
//     4     n / 8 + 1    the bytes of the array (integer division: 8 bits
//                        take 2 bytes, 0 bits still take 1)
// Bit i lives in byte i / 8 at bit i % 8 (bit 0 the least significant).
//
// The bytes are allocated through the memory manager; creating or copying
// an array when memory is exhausted throws CosClExceptionFatal.
#ifndef COS_BITARRAY_HPP
#define COS_BITARRAY_HPP

#include <cstdint>
#include <iosfwd>

// An object that can write itself to a stream and read itself back.
class CosClPersistencyABase {
  public:
    virtual ~CosClPersistencyABase() = default;
    virtual void write(std::ostream& out) const = 0;
    virtual void read(std::istream& in) = 0;
};

class CosClBitArray : public CosClPersistencyABase {
  public:
    // An array of `bits` bits, all 0.
    explicit CosClBitArray(uint32_t bits);
    CosClBitArray(CosClBitArray const& other);
    CosClBitArray& operator=(CosClBitArray const& other);
    ~CosClBitArray() override;

    // Equal when both the bit counts and the bytes are equal.
    bool operator==(CosClBitArray const& other) const;
    bool operator!=(CosClBitArray const& other) const { return !(*this == other); }

    // Writes the stored form.
    void write(std::ostream& out) const override;
    // Reads a stored form and takes over its bit count and bytes. When the
    // stream ends early the stream's failbit is set and the array is left
    // as it was; memory grows only as the stream delivers bytes, so a
    // damaged count cannot ask for more than the stream holds.
    void read(std::istream& in) override;

    uint32_t getBitCount() const { return iv_uiBitCount; }
    // Bytes of the array: getBitCount() / 8 + 1.
    uint32_t getByteCount() const { return iv_uiBitCount / 8 + 1; }
    unsigned char const* getBytes() const { return iv_pucBytes; }

    // REQUIRES: bit < getBitCount().
    bool getBit(uint32_t bit) const;
    void setBit(uint32_t bit, bool value = true);

  private:
    uint32_t iv_uiBitCount;
    unsigned char* iv_pucBytes;  // owned; getByteCount() bytes
};

#endif  // COS_BITARRAY_HPP
