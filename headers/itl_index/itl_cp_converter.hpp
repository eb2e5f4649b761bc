// itl_cp_converter.hpp: the object behind a code-page converter handle
// (ItlClCpConverter): one services-library converter between two CCSIDs
// and the error info of the context it was made on.
#ifndef ITL_CP_CONVERTER_HPP
#define ITL_CP_CONVERTER_HPP

#include <cstdint>

class CosClCodePage2CodePageConverter;
class ItlClErrorInfo;

class ItlClCpConverter {
 public:
  // Keeps the reference; makes no converter yet.
  explicit ItlClCpConverter(ItlClErrorInfo& errorInfo);
  // Destroys the converter. Never throws.
  virtual ~ItlClCpConverter();
  ItlClCpConverter(ItlClCpConverter const&) = delete;
  ItlClCpConverter& operator=(ItlClCpConverter const&) = delete;

  // Makes the converter from `source` to `target` (both valid CCSIDs);
  // false, with no converter kept, when the pair cannot be converted.
  bool init(uint16_t source, uint16_t target);

  // Converts `sourceSize` bytes into `target` (room `capacity` bytes);
  // returns the bytes written. When the conversion fails the converter's
  // error stays readable through conversionError(). REQUIRES: init true.
  uint32_t convert(char* target, uint32_t capacity, char const* source,
                   uint32_t sourceSize) const;
  // The reason of the last conversion's failure, 0 after a success.
  int conversionError() const;

  ItlClErrorInfo& getErrorInfo() const { return iv_rclErrorInfo; }

 private:
  ItlClErrorInfo& iv_rclErrorInfo;
  CosClCodePage2CodePageConverter* iv_pclConverter;  // owned
};

#endif  // ITL_CP_CONVERTER_HPP
