// itl_name_maps.hpp: the field-name map and the attribute-name maps of an
// index.
//
//   map                        file  shadow  max number  growth  buckets
//   ItlClFieldNameMap          "tf"  "tf$"   32768       255     255
//   attributes NUMBER and DATE "an"  "an$"   32767       255     255
//   attributes STRING          "as"  "as$"   254         63      63
// So at most 32767 field names, 32766 number and date attribute names
// together (a number and a date attribute of one name share its number)
// and 253 string attribute names. Names are NUL-terminated texts here; the
// numbers handed out are the low 16 bits of the map's numbers. Errors and
// transactions: see itl_map_abase.hpp.
#ifndef ITL_NAME_MAPS_HPP
#define ITL_NAME_MAPS_HPP

#include <cstdint>

#include "itl_map_abase.hpp"

class ItlClIndexFileMgr;

class ItlClFieldNameMap : public ItlClMapABase {
 public:
  ItlClFieldNameMap(ItlClIndexLocation const& location,
                    ItlClErrorInfo& errorInfo);
  ~ItlClFieldNameMap() override;

  // See mapNameToNumber: 4 and number 1 for an unknown name.
  ItlEnReturnCode mapFieldNameToNumber(char const* name,
                                       unsigned short& number) const;
  void assignFieldNameToNumber(char const* name, unsigned short& number,
                               bool& isNew);
};

class ItlClAttributeNameMap {
 public:
  ItlClAttributeNameMap(ItlClIndexLocation const& location,
                        ItlClErrorInfo& errorInfo);
  ItlClAttributeNameMap(ItlClAttributeNameMap const&) = delete;
  ItlClAttributeNameMap& operator=(ItlClAttributeNameMap const&) = delete;

  void init();
  // Registers the "an" map, then the "as" map.
  void registerAtFileMgr(ItlClIndexFileMgr& manager);
  // STRING consults "as", NUMBER and DATE "an"; another type consults no
  // map, leaves `number` alone and returns 0.
  ItlEnReturnCode mapAttributeNameToNumber(char const* name,
                                           ItlEnAttributeType type,
                                           unsigned short& number) const;
  // Another type assigns nothing: `isNew` false, `number` unchanged.
  void assignAttributeNameToNumber(char const* name, ItlEnAttributeType type,
                                   unsigned short& number, bool& isNew);
  // ItlClMapABase::refreshForRead of both maps; true when both were
  // checked.
  bool refreshForRead(bool directoryUnchanged = false);

  ItlClMapABase& getNumericMap() { return iv_clNumericMap; }
  ItlClMapABase& getStringMap() { return iv_clStringMap; }

 private:
  // STRING, NUMBER or DATE.
  static bool hasMap(ItlEnAttributeType type);

  ItlClMapABase iv_clNumericMap;  // "an": NUMBER and DATE
  ItlClMapABase iv_clStringMap;   // "as": STRING
};

#endif  // ITL_NAME_MAPS_HPP
