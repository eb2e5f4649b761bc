// cos_converter_tables.cpp: lookups in the generated conversion tables
// (cos_cptables_*.cpp). The single-byte and double-byte tables are sorted
// by CCSID and searched by halves.
#include <cstdlib>

#include "cos_converter_tables.hpp"

namespace {

template <typename Row>
int compareRows(void const* key, void const* row) {
    uint32_t a = *static_cast<uint32_t const*>(key);
    uint32_t b = static_cast<Row const*>(row)->ulCCSID;
    return a < b ? -1 : (a > b ? 1 : 0);
}

}  // namespace

const uint16_t* cosGetSBCStoUCS2Table(uint32_t ccsid) {
    void const* hit = std::bsearch(&ccsid, gs_castConversionTablesSBCS2UCS2, COS_SBCS_TABLE_COUNT,
                                   sizeof(_CosStSBCSConversionTable),
                                   compareRows<_CosStSBCSConversionTable>);
    return hit ? static_cast<_CosStSBCSConversionTable const*>(hit)->ausValues : nullptr;
}

const unsigned char* cosGetUCS2toSBCSTable(uint32_t ccsid) {
    if (ccsid == 850) return gs_acConversionTable_13488_to_850;
    if (ccsid == 500) return gs_acConversionTable_13488_to_500;
    return nullptr;
}

const _CosStDBCSConversionTable* cosGetDBCStoUCS2Table(uint32_t ccsid, bool& isEBCDIC) {
    void const* hit = std::bsearch(&ccsid, gs_castDBCSConversionTableEntries, COS_DBCS_TABLE_COUNT,
                                   sizeof(_CosStDBCSConversionTable),
                                   compareRows<_CosStDBCSConversionTable>);
    if (hit == nullptr) return nullptr;
    auto const* table = static_cast<_CosStDBCSConversionTable const*>(hit);
    isEBCDIC = table->bIsEBCDIC;
    return table;
}
