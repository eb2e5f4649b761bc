// cos_ccsid.cpp: the CCSID table and CosClCCSID.
//
// The table holds 430 constant rows sorted by strictly ascending number
// (lookups are binary searches; name parsing walks it in order, so the
// first of several rows with one name wins). Row 0 is the unknown row.
// Names are the decimal number unless the code page is better known by
// another name (ISO and Unicode names), or the row extends a base code
// page and carries that page's name. 954, 5050, 9146 and 13242 carry a
// name of EUC-JP code page 33722 that ICU opens.
#include "cos_ccsid.hpp"

#include <cstdlib>

#include <unicode/ucnv.h>

#include "cos_string.hpp"

namespace {

// {number, name, flags}; flags as a number: 1 ASCII, 2 EBCDIC, 4 double-
// byte, 8 single-byte, 64 UCS-2 (5 = 1|4, 6 = 2|4, 9 = 1|8, 10 = 2|8).
const _CosStCCSIDEntry gs_castCSIDDatabase[] = {
    {0, "???", 0},
    {37, "37", 10},
    {256, "256", 2},
    {259, "259", 0},
    {273, "273", 10},
    {274, "274", 10},
    {275, "275", 2},
    {277, "277", 10},
    {278, "278", 10},
    {280, "280", 10},
    {284, "284", 10},
    {285, "285", 10},
    {286, "286", 2},
    {290, "290", 10},
    {293, "293", 2},
    {297, "297", 10},
    {300, "300", 2},
    {301, "301", 5},
    {367, "367", 1},
    {420, "420", 10},
    {421, "421", 2},
    {423, "423", 10},
    {424, "424", 10},
    {437, "437", 9},
    {500, "500", 10},
    {737, "737", 9},
    {803, "803", 2},
    {806, "806", 8},
    {813, "ISO8859-7", 8},
    {819, "ISO8859-1", 9},
    {833, "833", 10},
    {834, "834", 2},
    {835, "835", 2},
    {836, "836", 10},
    {837, "837", 2},
    {838, "838", 8},
    {839, "839", 2},
    {848, "848", 9},
    {850, "850", 9},
    {851, "851", 1},
    {852, "852", 9},
    {853, "853", 1},
    {855, "855", 9},
    {856, "856", 1},
    {857, "857", 9},
    {858, "858", 9},
    {860, "860", 9},
    {861, "861", 9},
    {862, "862", 9},
    {863, "863", 9},
    {864, "864", 9},
    {865, "865", 9},
    {866, "866", 9},
    {867, "867", 9},
    {868, "868", 1},
    {869, "869", 9},
    {870, "870", 10},
    {871, "871", 10},
    {872, "872", 9},
    {874, "874", 9},
    {875, "875", 10},
    {878, "878", 9},
    {880, "880", 2},
    {891, "891", 9},
    {895, "895", 9},
    {896, "896", 1},
    {897, "897", 1},
    {901, "901", 9},
    {902, "902", 9},
    {903, "903", 1},
    {904, "904", 1},
    {905, "905", 2},
    {912, "ISO8859-2", 9},
    {915, "ISO8859-5", 9},
    {916, "ISO8859-8", 9},
    {918, "918", 2},
    {920, "ISO8859-9", 9},
    {921, "921", 9},
    {922, "922", 9},
    {923, "ISO8859-15", 9},
    {924, "924", 10},
    {926, "926", 1},
    {927, "927", 5},
    {928, "928", 1},
    {929, "929", 1},
    {930, "930", 6},
    {931, "931", 2},
    {932, "932", 5},
    {933, "933", 6},
    {934, "934", 5},
    {935, "935", 6},
    {936, "936", 5},
    {937, "937", 6},
    {938, "938", 5},
    {939, "939", 6},
    {941, "941", 5},
    {942, "942", 5},
    {943, "943", 5},
    {944, "944", 1},
    {946, "946", 1},
    {947, "947", 1},
    {948, "948", 5},
    {949, "949", 5},
    {950, "950", 5},
    {951, "951", 1},
    {952, "952", 1},
    {954, "cp33722", 5},
    {955, "955", 1},
    {960, "960", 1},
    {961, "961", 1},
    {963, "963", 1},
    {964, "964", 5},
    {970, "970", 5},
    {971, "971", 1},
    {1004, "1004", 1},
    {1006, "1006", 1},
    {1008, "1008", 1},
    {1009, "1009", 1},
    {1010, "1010", 1},
    {1011, "1011", 1},
    {1012, "1012", 1},
    {1013, "1013", 1},
    {1014, "1014", 1},
    {1015, "1015", 1},
    {1016, "1016", 1},
    {1017, "1017", 1},
    {1018, "1018", 1},
    {1019, "1019", 1},
    {1025, "1025", 10},
    {1026, "1026", 10},
    {1027, "1027", 10},
    {1040, "1040", 9},
    {1041, "1041", 9},
    {1042, "1042", 9},
    {1043, "1043", 9},
    {1046, "1046", 9},
    {1047, "1047", 2},
    {1051, "1051", 9},
    {1088, "1088", 9},
    {1089, "ISO8859-6", 9},
    {1097, "1097", 2},
    {1098, "1098", 1},
    {1112, "1112", 10},
    {1114, "1114", 9},
    {1115, "1115", 9},
    {1122, "1122", 10},
    {1123, "1123", 10},
    {1124, "1124", 9},
    {1125, "1125", 9},
    {1129, "1129", 9},
    {1130, "1130", 10},
    {1131, "1131", 9},
    {1137, "1137", 9},
    {1140, "1140", 9},
    {1141, "1141", 9},
    {1142, "1142", 10},
    {1143, "1143", 9},
    {1144, "1144", 9},
    {1145, "1145", 10},
    {1146, "1146", 9},
    {1147, "1147", 9},
    {1148, "1148", 9},
    {1149, "1149", 9},
    {1153, "1153", 10},
    {1154, "1154", 10},
    {1155, "1155", 10},
    {1156, "1156", 10},
    {1157, "1157", 10},
    {1158, "1158", 10},
    {1159, "1159", 10},
    {1160, "1160", 10},
    {1161, "1161", 9},
    {1163, "1163", 9},
    {1164, "1164", 10},
    {1200, "ISO10646-1", 64},
    {1208, "UTF-8", 1},
    {1250, "1250", 9},
    {1251, "1251", 9},
    {1252, "1252", 9},
    {1253, "1253", 9},
    {1254, "1254", 9},
    {1255, "1255", 9},
    {1256, "1256", 9},
    {1257, "1257", 9},
    {1258, "1258", 9},
    {1275, "1275", 9},
    {1276, "1276", 1},
    {1277, "1277", 1},
    {1280, "1280", 9},
    {1281, "1281", 9},
    {1282, "1282", 9},
    {1283, "1283", 9},
    {1350, "1350", 1},
    {1351, "1351", 5},
    {1363, "1363", 5},
    {1364, "1364", 6},
    {1380, "1380", 1},
    {1381, "1381", 5},
    {1382, "1382", 1},
    {1383, "1383", 5},
    {1386, "1386", 5},
    {1388, "1388", 6},
    {1390, "1390", 5},
    {1392, "GB-18030", 5},
    {1394, "1394", 5},
    {1399, "1399", 5},
    {4133, "037", 2},
    {4352, "256", 0},
    {4369, "273", 2},
    {4370, "274", 2},
    {4371, "275", 2},
    {4372, "276", 2},
    {4373, "277", 2},
    {4374, "278", 2},
    {4376, "280", 2},
    {4378, "282", 2},
    {4380, "284", 2},
    {4381, "285", 2},
    {4386, "290", 2},
    {4393, "297", 2},
    {4396, "300", 2},
    {4516, "420", 2},
    {4519, "423", 2},
    {4520, "424", 2},
    {4533, "437", 1},
    {4596, "500", 2},
    {4909, "4909", 9},
    {4929, "833", 2},
    {4930, "4930", 6},
    {4932, "836", 2},
    {4933, "4933", 6},
    {4934, "838", 2},
    {4946, "850", 1},
    {4947, "851", 1},
    {4948, "4948", 1},
    {4949, "853", 1},
    {4951, "4951", 1},
    {4952, "4952", 1},
    {4953, "4953", 1},
    {4960, "4960", 1},
    {4964, "868", 1},
    {4965, "869", 1},
    {4966, "870", 2},
    {4967, "871", 2},
    {4970, "874", 1},
    {4971, "4971", 10},
    {4976, "880", 2},
    {4993, "897", 1},
    {5014, "918", 2},
    {5026, "930", 6},
    {5028, "932", 1},
    {5029, "933", 2},
    {5031, "935", 2},
    {5033, "937", 2},
    {5035, "939", 6},
    {5039, "5039", 5},
    {5048, "5048", 1},
    {5049, "5049", 1},
    {5050, "cp33722", 1},
    {5067, "5067", 1},
    {5123, "5123", 6},
    {5142, "5142", 1},
    {5210, "5210", 9},
    {5346, "5346", 9},
    {5347, "5347", 9},
    {5348, "5348", 9},
    {5349, "5349", 9},
    {5350, "5350", 9},
    {5351, "5351", 9},
    {5352, "5352", 9},
    {5353, "5353", 9},
    {5354, "5354", 9},
    {5478, "5478", 1},
    {5488, "GB-18030", 5},
    {8229, "037", 2},
    {8448, "256", 2},
    {8476, "284", 2},
    {8482, "8482", 6},
    {8489, "297", 2},
    {8612, "8612", 2},
    {8629, "437", 1},
    {8692, "500", 2},
    {9027, "9027", 6},
    {9030, "9030", 2},
    {9044, "9044", 1},
    {9047, "855", 1},
    {9048, "9048", 9},
    {9049, "9049", 1},
    {9056, "9056", 1},
    {9060, "868", 1},
    {9061, "9061", 1},
    {9066, "9066", 1},
    {9089, "897", 1},
    {9122, "930", 2},
    {9145, "9145", 1},
    {9146, "cp33722", 1},
    {9238, "9238", 1},
    {12325, "037", 2},
    {12544, "256", 2},
    {12712, "12712", 2},
    {12725, "437", 1},
    {12788, "500", 2},
    {13121, "13121", 10},
    {13152, "864", 1},
    {13218, "930", 2},
    {13219, "931", 2},
    {13242, "cp33722", 2},
    {13488, "UCS-2", 64},
    {16421, "037", 2},
    {16684, "16684", 6},
    {16821, "437", 1},
    {16884, "500", 2},
    {17248, "17248", 9},
    {17584, "UCS-2", 64},
    {18030, "GB-18030", 5},
    {20517, "037", 2},
    {20917, "437", 1},
    {20980, "500", 2},
    {21427, "21427", 5},
    {24613, "037", 2},
    {24877, "301", 1},
    {25013, "437", 1},
    {25076, "500", 2},
    {25426, "850", 1},
    {25427, "851", 1},
    {25428, "852", 1},
    {25429, "853", 1},
    {25431, "855", 1},
    {25432, "856", 1},
    {25433, "857", 1},
    {25436, "860", 1},
    {25437, "861", 1},
    {25438, "862", 1},
    {25439, "863", 1},
    {25440, "864", 1},
    {25441, "865", 1},
    {25444, "868", 1},
    {25445, "869", 1},
    {25450, "874", 1},
    {25467, "891", 1},
    {25473, "897", 1},
    {25479, "903", 1},
    {25480, "904", 1},
    {25502, "926", 1},
    {25503, "927", 1},
    {25504, "928", 1},
    {25505, "929", 1},
    {25508, "932", 1},
    {25510, "934", 1},
    {25512, "936", 1},
    {25514, "938", 1},
    {25518, "942", 1},
    {25520, "944", 1},
    {25522, "946", 1},
    {25524, "948", 1},
    {25616, "1040", 1},
    {25617, "1041", 1},
    {25618, "1042", 1},
    {25619, "1043", 1},
    {28709, "037", 2},
    {29109, "437", 1},
    {29172, "500", 2},
    {29522, "850", 1},
    {29523, "851", 1},
    {29524, "852", 1},
    {29525, "853", 1},
    {29527, "855", 1},
    {29528, "856", 1},
    {29529, "857", 1},
    {29532, "860", 1},
    {29533, "861", 1},
    {29534, "862", 1},
    {29535, "863", 1},
    {29536, "864", 1},
    {29537, "865", 1},
    {29540, "868", 1},
    {29541, "869", 1},
    {29546, "874", 1},
    {29614, "942", 1},
    {29616, "944", 1},
    {29618, "946", 1},
    {29620, "948", 1},
    {29712, "1040", 1},
    {29713, "1041", 1},
    {29714, "1042", 1},
    {29715, "1043", 1},
    {32805, "037", 2},
    {33058, "290", 2},
    {33205, "437", 1},
    {33268, "500", 2},
    {33618, "850", 1},
    {33619, "851", 1},
    {33620, "852", 1},
    {33621, "853", 1},
    {33623, "855", 1},
    {33624, "856", 1},
    {33632, "864", 1},
    {33636, "868", 1},
    {33637, "869", 1},
    {33665, "897", 1},
    {33698, "930", 2},
    {33699, "931", 2},
    {33700, "932", 1},
    {33722, "33722", 5},
    {37301, "437", 1},
    {37364, "500", 2},
    {37719, "855", 1},
    {37728, "864", 1},
    {37732, "868", 1},
    {37761, "897", 1},
    {37796, "932", 1},
    {41397, "437", 1},
    {41460, "500", 2},
    {41824, "864", 1},
    {41828, "868", 1},
    {45493, "437", 1},
    {45556, "500", 2},
    {45920, "864", 1},
    {49589, "437", 1},
    {49652, "500", 2},
    {53748, "500", 2},
    {61696, "500", 2},
    {61697, "850", 1},
    {61698, "850", 1},
    {61699, "ISO8859-7", 1},
    {61700, "367", 1},
    {61712, "500", 2},
    {61955, "UCS-2", 64},
    {65500, "UCS-2B", 64},
    {65501, "UCS-2L", 64},
};

const unsigned int gs_uiCSIDCount = sizeof gs_castCSIDDatabase / sizeof gs_castCSIDDatabase[0];
static_assert(sizeof gs_castCSIDDatabase / sizeof gs_castCSIDDatabase[0] == 430,
              "the CCSID table has 430 rows");

// Process-wide cache of the console CCSID; 0 = not yet known.
uint32_t gs_ulConsoleCCSID = 0;

_CosStCCSIDEntry const* lookUp(uint32_t number) {
    _CosStCCSIDEntry key = {number, nullptr, 0};
    void const* hit = std::bsearch(&key, gs_castCSIDDatabase, gs_uiCSIDCount,
                                   sizeof key, cosCompareCCSIDNameEntries);
    return hit ? static_cast<_CosStCCSIDEntry const*>(hit) : &gs_castCSIDDatabase[0];
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Decimal value of the leading digits of `p` (0 when there are none);
// stops before the value would pass 32 bits.
uint32_t leadingNumber(char const* p) {
    uint32_t value = 0;
    for (; isDigit(*p); ++p) {
        uint32_t digit = static_cast<uint32_t>(*p - '0');
        if (value > (UINT32_MAX - digit) / 10) break;
        value = value * 10 + digit;
    }
    return value;
}

}  // namespace

int cosCompareCCSIDNameEntries(void const* a, void const* b) {
    uint32_t x = static_cast<_CosStCCSIDEntry const*>(a)->ulCCSID;
    uint32_t y = static_cast<_CosStCCSIDEntry const*>(b)->ulCCSID;
    return x < y ? -1 : (x > y ? 1 : 0);
}

CosClCCSID::CosClCCSID(char const* text) : m_eCCSID(CCSID_UNKNOWN), m_pstEntry(nullptr) {
    if (text == nullptr) text = "";
    if (isDigit(text[0])) {
        m_eCCSID = static_cast<CosEnCCSID>(leadingNumber(text));
        m_pstEntry = lookUp(m_eCCSID);
        return;
    }
    for (unsigned int i = 0; i < gs_uiCSIDCount; ++i) {
        if (strcmpi(text, gs_castCSIDDatabase[i].pszName) == 0) {
            m_eCCSID = static_cast<CosEnCCSID>(gs_castCSIDDatabase[i].ulCCSID);
            m_pstEntry = &gs_castCSIDDatabase[i];
            return;
        }
    }
    while (*text != '\0' && !isDigit(*text)) ++text;
    m_eCCSID = static_cast<CosEnCCSID>(leadingNumber(text));
    m_pstEntry = &gs_castCSIDDatabase[0];
}

void CosClCCSID::determineProperties() const {
    if (m_pstEntry == nullptr) m_pstEntry = lookUp(m_eCCSID);
}

bool CosClCCSID::isValid() const {
    determineProperties();
    return m_eCCSID != CCSID_UNKNOWN && m_pstEntry != &gs_castCSIDDatabase[0];
}

char const* CosClCCSID::getName() const {
    determineProperties();
    return m_pstEntry->pszName;
}

bool CosClCCSID::hasFlag(uint32_t flag) const {
    determineProperties();
    return (m_pstEntry->ulFlags & flag) != 0;
}

bool CosClCCSID::operator==(uint32_t other) const {
    auto fold = [](uint32_t n) { return n == CCSID_UCS2_LITTLE_ENDIAN ? uint32_t(CCSID_UCS2) : n; };
    return fold(m_eCCSID) == fold(other);
}

bool CosClCCSID::isUCS2HostEndian() const {
    switch (m_eCCSID) {
    case CCSID_UCS2_LITTLE_ENDIAN:
    case CCSID_UCS2:
    case CCSID_UCS2_17584:
    case CCSID_UCS2_1200:
    case CCSID_UCS2_61955:
        return true;
    default:
        return false;
    }
}

CosClCCSID::CosEnCCSID CosClCCSID::getCCSIDForUCS2EndianId(char const* buffer) {
    unsigned char b0 = static_cast<unsigned char>(buffer[0]);
    unsigned char b1 = static_cast<unsigned char>(buffer[1]);
    if (b0 == 0xFE && b1 == 0xFF) return CCSID_UCS2_BIG_ENDIAN;
    if (b0 == 0xFF && b1 == 0xFE) return CCSID_UCS2_LITTLE_ENDIAN;
    return CCSID_UNKNOWN;
}

CosClCCSID::CosEnCCSID CosClCCSID::getConsoleCCSID() {
    if (gs_ulConsoleCCSID != 0) return static_cast<CosEnCCSID>(gs_ulConsoleCCSID);
    uint32_t ccsid = CCSID_UTF8;
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(ucnv_getDefaultName(), &status);
    if (converter != nullptr) {
        UErrorCode ccsidStatus = U_ZERO_ERROR;
        int32_t number = ucnv_getCCSID(converter, &ccsidStatus);
        ucnv_close(converter);
        // -1 is ICU's "no CCSID"; 0 is no code page either.
        if (U_SUCCESS(ccsidStatus) && number > 0) ccsid = static_cast<uint32_t>(number);
    }
    gs_ulConsoleCCSID = ccsid;
    return static_cast<CosEnCCSID>(ccsid);
}

CosClCCSID::CosEnCCSID CosClCCSID::getSystemCCSID() { return getConsoleCCSID(); }

_CosStCCSIDEntry const* CosClCCSID::getTable(unsigned int* rowCount) {
    if (rowCount != nullptr) *rowCount = gs_uiCSIDCount;
    return gs_castCSIDDatabase;
}
