// Languages and territories: the constant tables and CosClLanguage.
//
// gs_acpszLanguageInfo holds one row {two-letter code, English name} per
// language, gs_acpszTerritoryInfo one row {two-letter code, three-letter
// code, numeric code, English name, own index} per territory. Both are
// sorted by their two-letter code with row 0 "**" (unspecified) first, so
// the code lookups search them binary. The row index is the enumerator of
// cos_language.hpp: rows are never reordered or removed.

#include "cos_language.hpp"

#include <cstdlib>
#include <cstring>
#include <ostream>

#include "cos_string.hpp"

namespace {

struct _CosStLanguageInfo {
  char const* code;  // two letters, lower case ("**" in row 0)
  char const* name;  // English name
};

struct _CosStTerritoryInfo {
  char const* codeShort;  // two letters, lower case
  char const* codeLong;   // three letters, lower case
  uint32_t number;        // numeric code, 0 where there is none
  char const* name;       // English short name
  unsigned int index;     // the row's own index
};

char const gs_cpszInvalidSpec[] = "??";

_CosStLanguageInfo const
    gs_acpszLanguageInfo[CosClLanguage::CosEnLanguageInvalid] = {
        {"**", "Unspecified"},
        {"aa", "Afar"},
        {"ab", "Abkhazian"},
        {"af", "Afrikaans"},
        {"am", "Amharic"},
        {"ar", "Arabic"},
        {"as", "Assamese"},
        {"ay", "Aymara"},
        {"az", "Azerbaijani"},
        {"ba", "Bashkir"},
        {"be", "Byelorussian"},
        {"bg", "Bulgarian"},
        {"bh", "Bihari"},
        {"bi", "Bislama"},
        {"bn", "Bengali;Bangla"},
        {"bo", "Tibetan"},
        {"br", "Breton"},
        {"ca", "Catalan"},
        {"co", "Corsican"},
        {"cs", "Czech"},
        {"cy", "Welsh"},
        {"da", "Danish"},
        {"de", "German"},
        {"dz", "Bhutani"},
        {"el", "Greek"},
        {"en", "English"},
        {"eo", "Esperanto"},
        {"es", "Spanish"},
        {"et", "Estonian"},
        {"eu", "Basque"},
        {"fa", "Persian (Farsi)"},
        {"fi", "Finnish"},
        {"fj", "Fiji"},
        {"fo", "Faroese"},
        {"fr", "French"},
        {"fy", "Frisian"},
        {"ga", "Irish"},
        {"gd", "Scots Gaelic"},
        {"gl", "Galician"},
        {"gn", "Guarani"},
        {"gu", "Gujarati"},
        {"ha", "Hausa"},
        {"he", "Hebrew"},
        {"hi", "Hindi"},
        {"hr", "Croatian"},
        {"hu", "Hungarian"},
        {"hy", "Armenian"},
        {"ia", "Interlingua"},
        {"id", "Indonesian"},
        {"ie", "Interlingue"},
        {"ik", "Inupiak"},
        {"is", "Icelandic"},
        {"it", "Italian"},
        {"iu", "Inuktitut"},
        {"iw", "Hebrew"},
        {"ja", "Japanese"},
        {"jv", "Javanese"},
        {"ka", "Georgian"},
        {"kk", "Kazakh"},
        {"kl", "Greenlandic"},
        {"km", "Cambodian"},
        {"kn", "Kannada"},
        {"ko", "Korean"},
        {"ks", "Kashmiri"},
        {"ku", "Kurdish"},
        {"ky", "Kirghiz"},
        {"la", "Latin"},
        {"ln", "Lingala"},
        {"lo", "Laothian"},
        {"lt", "Lithuanian"},
        {"lv", "Latvian;lettish"},
        {"mg", "Malagasy"},
        {"mi", "Maori"},
        {"mk", "Macedonian"},
        {"ml", "Malayalam"},
        {"mn", "Mongolian"},
        {"mo", "Moldavian"},
        {"mr", "Marathi"},
        {"ms", "Malay"},
        {"mt", "Maltese"},
        {"my", "Burmese"},
        {"na", "Nauru"},
        {"nb", "Norwegian (Bokmal)"},
        {"ne", "Nepali"},
        {"nl", "Dutch"},
        {"nn", "Norwegian (Nynorsk)"},
        {"no", "Norwegian"},
        {"oc", "Occitan"},
        {"om", "Afan (Oromo)"},
        {"or", "Oriya"},
        {"pa", "Punjabi"},
        {"pl", "Polish"},
        {"ps", "Pashto;Pushto"},
        {"pt", "Portuguese"},
        {"qu", "Quechua"},
        {"rm", "Rhaeto-Romance"},
        {"rn", "Kurundi"},
        {"ro", "Romanian"},
        {"ru", "Russian"},
        {"rw", "Kinyarwanda"},
        {"sa", "Sanskrit"},
        {"sd", "Sindhi"},
        {"sg", "Sangho"},
        {"sh", "Serbo-Croatian"},
        {"si", "Singhalese"},
        {"sk", "Slovak"},
        {"sl", "Slovenian"},
        {"sm", "Samoan"},
        {"sn", "Shona"},
        {"so", "Somali"},
        {"sq", "Albanian"},
        {"sr", "Serbian"},
        {"ss", "Siswati"},
        {"st", "Sesotho"},
        {"su", "Sundanese"},
        {"sv", "Swedish"},
        {"sw", "Swahili"},
        {"ta", "Tamil"},
        {"te", "Telugu"},
        {"tg", "Tajik"},
        {"th", "Thai"},
        {"ti", "Tigrinya"},
        {"tk", "Turkmen"},
        {"tl", "Tagalog"},
        {"tn", "Setswana"},
        {"to", "Tonga"},
        {"tr", "Turkish"},
        {"ts", "Tsonga"},
        {"tt", "Tatar"},
        {"tw", "Twi"},
        {"ug", "Uigur"},
        {"uk", "Ukrainian"},
        {"ur", "Urdu"},
        {"uz", "Uzbek"},
        {"vi", "Vietnamese"},
        {"vo", "Volapuk"},
        {"wo", "Wolof"},
        {"xh", "Xhosa"},
        {"yi", "Yiddish"},
        {"yo", "Yoruba"},
        {"za", "Zhuang"},
        {"zh", "Chinese"},
        {"zu", "Zulu"},
};

_CosStTerritoryInfo const
    gs_acpszTerritoryInfo[CosClLanguage::CosEnTerritoryInvalid] = {
        {"**", "***", 0, "Unspecified", 0},
        {"aa", "ara", 0, "Arabic", 1},
        {"ad", "and", 20, "Andorra", 2},
        {"ae", "are", 784, "United Arab Emirates", 3},
        {"af", "afg", 4, "Afghanistan", 4},
        {"ag", "atg", 28, "Antigua and Barbuda", 5},
        {"ai", "aia", 660, "Anguilla", 6},
        {"al", "alb", 8, "Albania", 7},
        {"am", "arm", 51, "Armenia", 8},
        {"an", "ant", 530, "Netherlands Antilles", 9},
        {"ao", "ago", 24, "Angola", 10},
        {"aq", "ata", 10, "Antarctica", 11},
        {"ar", "arg", 32, "Argentina", 12},
        {"as", "asm", 16, "American Samoa", 13},
        {"at", "aut", 40, "Austria", 14},
        {"au", "aus", 36, "Australia", 15},
        {"aw", "abw", 533, "Aruba", 16},
        {"az", "aze", 31, "Azerbaijan", 17},
        {"ba", "bih", 70, "Bosnia and Herzegovina", 18},
        {"bb", "brb", 52, "Barbados", 19},
        {"bd", "bgd", 50, "Bangladesh", 20},
        {"be", "bel", 56, "Belgium", 21},
        {"bf", "bfa", 854, "Burkina Faso", 22},
        {"bg", "bgr", 100, "Bulgaria", 23},
        {"bh", "bhr", 48, "Bahrain", 24},
        {"bi", "bdi", 108, "Burundi", 25},
        {"bj", "ben", 204, "Benin", 26},
        {"bm", "bmu", 60, "Bermuda", 27},
        {"bn", "brn", 96, "Brunei", 28},
        {"bo", "bol", 68, "Bolivia", 29},
        {"br", "bra", 76, "Brazil", 30},
        {"bs", "bhs", 44, "The Bahamas", 31},
        {"bt", "btn", 64, "Bhutan", 32},
        {"bv", "bvt", 74, "Bouvet Island", 33},
        {"bw", "bwa", 72, "Botswana", 34},
        {"by", "blr", 112, "Belarus", 35},
        {"bz", "blz", 84, "Belize", 36},
        {"ca", "can", 124, "Canada", 37},
        {"cc", "cck", 166, "Cocos Keeling Islands", 38},
        {"cf", "caf", 140, "Central African Republic", 39},
        {"cg", "cog", 178, "Congo", 40},
        {"ch", "che", 756, "Switzerland", 41},
        {"ci", "civ", 384, "Cote d'_Ivoire", 42},
        {"ck", "cok", 184, "Cook Islands", 43},
        {"cl", "chl", 152, "Chile", 44},
        {"cm", "cmr", 120, "Cameroon", 45},
        {"cn", "chn", 156, "China", 46},
        {"co", "col", 170, "Colombia", 47},
        {"cr", "cri", 188, "Costa Rica", 48},
        {"cu", "cub", 192, "Cuba", 49},
        {"cv", "cpv", 132, "Cape Verde", 50},
        {"cx", "cxr", 162, "Christmas Island", 51},
        {"cy", "cyp", 196, "Cyprus", 52},
        {"cz", "cze", 203, "Czech Republic", 53},
        {"de", "deu", 276, "Germany", 54},
        {"dj", "dji", 262, "Djibouti", 55},
        {"dk", "dnk", 208, "Denmark", 56},
        {"dm", "dma", 212, "Dominica", 57},
        {"do", "dom", 214, "Dominican Republic", 58},
        {"dz", "dza", 12, "Algeria", 59},
        {"ec", "ecu", 218, "Ecuador", 60},
        {"ee", "est", 233, "Estonia", 61},
        {"eg", "egy", 818, "Egypt", 62},
        {"eh", "esh", 732, "Western Sahara", 63},
        {"er", "eri", 232, "Eritrea", 64},
        {"es", "esp", 724, "Spain", 65},
        {"et", "eth", 231, "Ethiopia", 66},
        {"fi", "fin", 246, "Finland", 67},
        {"fj", "fji", 242, "Fiji", 68},
        {"fk", "flk", 238, "Falkland Islands Islas Malvinas", 69},
        {"fm", "fsm", 583, "Micronesia Federated States of", 70},
        {"fo", "fro", 234, "Faroe Islands", 71},
        {"fr", "fra", 250, "France", 72},
        {"fx", "fxx", 249, "France Metropolitan", 73},
        {"ga", "gab", 266, "Gabon", 74},
        {"gb", "gbr", 826, "United Kingdom", 75},
        {"gd", "grd", 308, "Grenada", 76},
        {"ge", "geo", 268, "Georgia", 77},
        {"gf", "guf", 254, "French Guiana", 78},
        {"gh", "gha", 288, "Ghana", 79},
        {"gi", "gib", 292, "Gibraltar", 80},
        {"gl", "grl", 304, "Greenland", 81},
        {"gm", "gmb", 270, "The Gambia", 82},
        {"gn", "gin", 324, "Guinea", 83},
        {"gp", "glp", 312, "Guadeloupe", 84},
        {"gq", "gnq", 226, "Equatorial Guinea", 85},
        {"gr", "grc", 300, "Greece", 86},
        {"gs", "sgs", 239, "South Georgia and the South Sandwich Islands", 87},
        {"gt", "gtm", 320, "Guatemala", 88},
        {"gu", "gum", 316, "Guam", 89},
        {"gw", "gnb", 624, "Guinea-Bissau", 90},
        {"gy", "guy", 328, "Guyana", 91},
        {"hk", "hkg", 344, "Hong Kong", 92},
        {"hm", "hmd", 334, "Heard Island and McDonald Islands", 93},
        {"hn", "hnd", 340, "Honduras", 94},
        {"hr", "hrv", 191, "Croatia", 95},
        {"ht", "hti", 332, "Haiti", 96},
        {"hu", "hun", 348, "Hungary", 97},
        {"id", "idn", 360, "Indonesia", 98},
        {"ie", "irl", 372, "Ireland", 99},
        {"il", "isr", 376, "Israel", 100},
        {"in", "ind", 356, "India", 101},
        {"io", "iot", 86, "British Indian Ocean Territory", 102},
        {"iq", "irq", 368, "Iraq", 103},
        {"ir", "irn", 364, "Iran", 104},
        {"is", "isl", 352, "Iceland", 105},
        {"it", "ita", 380, "Italy", 106},
        {"jm", "jam", 388, "Jamaica", 107},
        {"jo", "jor", 400, "Jordan", 108},
        {"jp", "jpn", 392, "Japan", 109},
        {"ke", "ken", 404, "Kenya", 110},
        {"kg", "kgz", 417, "Kyrgyzstan", 111},
        {"kh", "khm", 116, "Cambodia", 112},
        {"ki", "kir", 296, "Kiribati", 113},
        {"km", "com", 174, "Comoros", 114},
        {"kn", "kna", 659, "Saint Kitts and Nevis", 115},
        {"kp", "prk", 408, "Korea North", 116},
        {"kr", "kor", 410, "Korea South", 117},
        {"kw", "kwt", 414, "Kuwait", 118},
        {"ky", "cym", 136, "Cayman Islands", 119},
        {"kz", "kaz", 398, "Kazakstan", 120},
        {"la", "lao", 418, "Laos", 121},
        {"lb", "lbn", 422, "Lebanon", 122},
        {"lc", "lca", 662, "Saint Lucia", 123},
        {"li", "lie", 438, "Liechtenstein", 124},
        {"lk", "lka", 144, "Sri Lanka", 125},
        {"lr", "lbr", 430, "Liberia", 126},
        {"ls", "lso", 426, "Lesotho", 127},
        {"lt", "ltu", 440, "Lithuania", 128},
        {"lu", "lux", 442, "Luxembourg", 129},
        {"lv", "lva", 428, "Latvia", 130},
        {"ly", "lby", 434, "Libya", 131},
        {"ma", "mar", 504, "Morocco", 132},
        {"mc", "mco", 492, "Monaco", 133},
        {"md", "mda", 498, "Moldova", 134},
        {"mg", "mdg", 450, "Madagascar", 135},
        {"mh", "mhl", 584, "Marshall Islands", 136},
        {"mk", "mkd", 807, "Macedonia", 137},
        {"ml", "mli", 466, "Mali", 138},
        {"mm", "mmr", 104, "Burma", 139},
        {"mn", "mng", 496, "Mongolia", 140},
        {"mo", "mac", 446, "Macau", 141},
        {"mp", "mnp", 580, "Northern Mariana Islands", 142},
        {"mq", "mtq", 474, "Martinique", 143},
        {"mr", "mrt", 478, "Mauritania", 144},
        {"ms", "msr", 500, "Montserrat", 145},
        {"mt", "mlt", 470, "Malta", 146},
        {"mu", "mus", 480, "Mauritius", 147},
        {"mv", "mdv", 462, "Maldives", 148},
        {"mw", "mwi", 454, "Malawi", 149},
        {"mx", "mex", 484, "Mexico", 150},
        {"my", "mys", 458, "Malaysia", 151},
        {"mz", "moz", 508, "Mozambique", 152},
        {"na", "nam", 516, "Namibia", 153},
        {"nc", "ncl", 540, "New Caledonia", 154},
        {"ne", "ner", 562, "Niger", 155},
        {"nf", "nfk", 574, "Norfolk Island", 156},
        {"ng", "nga", 566, "Nigeria", 157},
        {"ni", "nic", 558, "Nicaragua", 158},
        {"nl", "nld", 528, "Netherlands", 159},
        {"no", "nor", 578, "Norway", 160},
        {"np", "npl", 524, "Nepal", 161},
        {"nr", "nru", 520, "Nauru", 162},
        {"nu", "niu", 570, "Niue", 163},
        {"nz", "nzl", 554, "New Zealand", 164},
        {"om", "omn", 512, "Oman", 165},
        {"pa", "pan", 591, "Panama", 166},
        {"pe", "per", 604, "Peru", 167},
        {"pf", "pyf", 258, "French Polynesia", 168},
        {"pg", "png", 598, "Papua New Guinea", 169},
        {"ph", "phl", 608, "Philippines", 170},
        {"pk", "pak", 586, "Pakistan", 171},
        {"pl", "pol", 616, "Poland", 172},
        {"pm", "spm", 666, "Saint Pierre and Miquelon", 173},
        {"pn", "pcn", 612, "Pitcairn Islands", 174},
        {"pr", "pri", 630, "Puerto Rico", 175},
        {"pt", "prt", 620, "Portugal", 176},
        {"pw", "plw", 585, "Palau", 177},
        {"py", "pry", 600, "Paraguay", 178},
        {"qa", "qat", 634, "Qatar", 179},
        {"re", "reu", 638, "Reunion", 180},
        {"ro", "rom", 642, "Romania", 181},
        {"ru", "rus", 643, "Russia", 182},
        {"rw", "rwa", 646, "Rwanda", 183},
        {"sa", "sau", 682, "Saudi Arabia", 184},
        {"sb", "slb", 90, "Solomon Islands", 185},
        {"sc", "syc", 690, "Seychelles", 186},
        {"sd", "sdn", 736, "Sudan", 187},
        {"se", "swe", 752, "Sweden", 188},
        {"sg", "sgp", 702, "Singapore", 189},
        {"sh", "shn", 654, "Saint Helena", 190},
        {"si", "svn", 705, "Slovenia", 191},
        {"sj", "sjm", 744, "Svalbard", 192},
        {"sk", "svk", 703, "Slovakia", 193},
        {"sl", "sle", 694, "Sierra Leone", 194},
        {"sm", "smr", 674, "San Marino", 195},
        {"sn", "sen", 686, "Senegal", 196},
        {"so", "som", 706, "Somalia", 197},
        {"sp", "ser", 0, "Serbia", 198},
        {"sr", "sur", 740, "Suriname", 199},
        {"st", "stp", 678, "Sao Tome and Principe", 200},
        {"sv", "slv", 222, "El Salvador", 201},
        {"sy", "syr", 760, "Syria", 202},
        {"sz", "swz", 748, "Swaziland", 203},
        {"tc", "tca", 796, "Turks and Caicos Islands", 204},
        {"td", "tcd", 148, "Chad", 205},
        {"tf", "atf", 260, "French Southern and Antarctic Lands", 206},
        {"tg", "tgo", 768, "Togo", 207},
        {"th", "tha", 764, "Thailand", 208},
        {"tj", "tjk", 762, "Tajikistan", 209},
        {"tk", "tkl", 772, "Tokelau", 210},
        {"tm", "tkm", 795, "Turkmenistan", 211},
        {"tn", "tun", 788, "Tunisia", 212},
        {"to", "ton", 776, "Tonga", 213},
        {"tp", "tmp", 626, "East Timor", 214},
        {"tr", "tur", 792, "Turkey", 215},
        {"tt", "tto", 780, "Trinidad and Tobago", 216},
        {"tv", "tuv", 798, "Tuvalu", 217},
        {"tw", "twn", 158, "Taiwan", 218},
        {"tz", "tza", 834, "Tanzania", 219},
        {"ua", "ukr", 804, "Ukraine", 220},
        {"ug", "uga", 800, "Uganda", 221},
        {"um", "umi", 581, "United States Minor Outlying Islands", 222},
        {"us", "usa", 840, "United States", 223},
        {"uy", "ury", 858, "Uruguay", 224},
        {"uz", "uzb", 860, "Uzbekistan", 225},
        {"va", "vat", 336, "Holy See Vatican City", 226},
        {"vc", "vct", 670, "Saint Vincent and the Grenadines", 227},
        {"ve", "ven", 862, "Venezuela", 228},
        {"vg", "vgb", 92, "British Virgin Islands", 229},
        {"vi", "vir", 850, "Virgin Islands", 230},
        {"vn", "vnm", 704, "Vietnam", 231},
        {"vu", "vut", 548, "Vanuatu", 232},
        {"wf", "wlf", 876, "Wallis and Futuna", 233},
        {"ws", "wsm", 882, "Western Samoa", 234},
        {"ye", "yem", 887, "Yemen", 235},
        {"yt", "myt", 175, "Mayotte", 236},
        {"yu", "yug", 891, "Yugoslavia", 237},
        {"za", "zaf", 710, "South Africa", 238},
        {"zm", "zmb", 894, "Zambia", 239},
        {"zr", "zar", 180, "Zaire", 240},
        {"zw", "zwe", 716, "Zimbabwe", 241},
};

int cosCompareLanguageInfoEntries(void const* key, void const* row) {
  return strcmpi(static_cast<char const*>(key),
                 static_cast<_CosStLanguageInfo const*>(row)->code);
}

int cosCompareTerritoryInfoEntries(void const* key, void const* row) {
  return strcmpi(static_cast<char const*>(key),
                 static_cast<_CosStTerritoryInfo const*>(row)->codeShort);
}

bool isValid(CosClLanguage::CosEnLanguage language) {
  return (unsigned)language < (unsigned)CosClLanguage::CosEnLanguageInvalid;
}

bool isValid(CosClLanguage::CosEnTerritory territory) {
  return (unsigned)territory < (unsigned)CosClLanguage::CosEnTerritoryInvalid;
}

// Writes language "-" territory into buffer; the territory part only when
// `withTerritory`.
char* composeCode(char* buffer, char const* language, char const* territory,
                  bool withTerritory) {
  strcpy(buffer, language);
  if (withTerritory) {
    strcat(buffer, CosClLanguage::cv_cpszCombiningCharString);
    strcat(buffer, territory);
  }
  return buffer;
}

}  // namespace

char const* const CosClLanguage::cv_cpszCombiningCharString = "-";

CosClLanguage::CosClLanguage(char const* text)
    : m_enLanguage(CosEnLanguageInvalid), m_enTerritory(CosEnTerritoryInvalid) {
  init(text);
}

CosClLanguage::CosClLanguage(unsigned int number)
    : m_enLanguage(static_cast<CosEnLanguage>(number >> 16)),
      m_enTerritory(static_cast<CosEnTerritory>(number & 0xFFFFu)) {}

unsigned int CosClLanguage::asNumber() const {
  return (((unsigned)m_enLanguage & 0xFFFFu) << 16) |
         ((unsigned)m_enTerritory & 0xFFFFu);
}

void CosClLanguage::init(char const* text) {
  if (text == nullptr) return;
  if (strcmpi(text, "x-all") == 0 || strcmpi(text, "x-unspecified") == 0) {
    m_enLanguage = CosEnLanguageUnspecified;
    m_enTerritory = CosEnTerritoryUnspecified;
    return;
  }
  char const* sep = strchr(text, cv_cpszCombiningCharString[0]);
  if (sep == nullptr) sep = strchr(text, '_');
  m_enTerritory = sep == nullptr ? CosEnTerritoryUnspecified
                                 : territoryCodeShort2Enum(sep + 1);

  m_enLanguage = CosEnLanguageInvalid;
  if (text[0] != '\0' && text[1] != '\0' &&
      (text[2] == '\0' || text[2] == '-' || text[2] == '_')) {
    char code[3] = {text[0], text[1], '\0'};
    m_enLanguage = langCode2Enum(code);
  }
}

char const* CosClLanguage::getLanguageCode(CosEnLanguage language) {
  return isValid(language) ? gs_acpszLanguageInfo[language].code
                           : gs_cpszInvalidSpec;
}

char const* CosClLanguage::getLanguageName(CosEnLanguage language) {
  return isValid(language) ? gs_acpszLanguageInfo[language].name
                           : gs_cpszInvalidSpec;
}

char const* CosClLanguage::getTerritoryCodeShort(CosEnTerritory territory) {
  return isValid(territory) ? gs_acpszTerritoryInfo[territory].codeShort
                            : gs_cpszInvalidSpec;
}

char const* CosClLanguage::getTerritoryCodeLong(CosEnTerritory territory) {
  return isValid(territory) ? gs_acpszTerritoryInfo[territory].codeLong
                            : gs_cpszInvalidSpec;
}

char const* CosClLanguage::getTerritoryName(CosEnTerritory territory) {
  return isValid(territory) ? gs_acpszTerritoryInfo[territory].name
                            : gs_cpszInvalidSpec;
}

int32_t CosClLanguage::getTerritoryIdNumber(CosEnTerritory territory) {
  return isValid(territory) ? (int32_t)gs_acpszTerritoryInfo[territory].number
                            : -1;
}

unsigned int CosClLanguage::getNumberOfLanguagesSupported() {
  return CosEnLanguageInvalid;
}

unsigned int CosClLanguage::getNumberOfTerritoriesSupported() {
  return CosEnTerritoryInvalid;
}

char* CosClLanguage::extractShortCode(char* buffer) const {
  return composeCode(buffer, getLanguageCode(m_enLanguage),
                     getTerritoryCodeShort(m_enTerritory), true);
}

char* CosClLanguage::extractLongCode(char* buffer) const {
  return composeCode(buffer, getLanguageCode(m_enLanguage),
                     getTerritoryCodeLong(m_enTerritory), true);
}

char* CosClLanguage::extractISOShortCode(char* buffer) const {
  return composeCode(
      buffer, getLanguageCode(m_enLanguage),
      getTerritoryCodeShort(m_enTerritory),
      m_enTerritory != CosEnTerritoryUnspecified && isValid(m_enTerritory));
}

char* CosClLanguage::extractISOLongCode(char* buffer) const {
  return composeCode(
      buffer, getLanguageCode(m_enLanguage),
      getTerritoryCodeLong(m_enTerritory),
      m_enTerritory != CosEnTerritoryUnspecified && isValid(m_enTerritory));
}

CosClLanguage::CosEnLanguage CosClLanguage::langCode2Enum(char const* code) {
  if (code == nullptr) return CosEnLanguageInvalid;
  void const* row =
      bsearch(code, gs_acpszLanguageInfo, CosEnLanguageInvalid,
              sizeof gs_acpszLanguageInfo[0], cosCompareLanguageInfoEntries);
  if (row == nullptr) return CosEnLanguageInvalid;
  return static_cast<CosEnLanguage>(
      static_cast<_CosStLanguageInfo const*>(row) - gs_acpszLanguageInfo);
}

CosClLanguage::CosEnTerritory CosClLanguage::territoryCodeShort2Enum(
    char const* code) {
  if (code == nullptr) return CosEnTerritoryInvalid;
  void const* row =
      bsearch(code, gs_acpszTerritoryInfo, CosEnTerritoryInvalid,
              sizeof gs_acpszTerritoryInfo[0], cosCompareTerritoryInfoEntries);
  if (row == nullptr) return CosEnTerritoryInvalid;
  return static_cast<CosEnTerritory>(
      static_cast<_CosStTerritoryInfo const*>(row)->index);
}

std::ostream& operator<<(std::ostream& out, CosClLanguage const& language) {
  CosClLanguage::CosEnLanguage lang = language.getLanguage();
  CosClLanguage::CosEnTerritory terr = language.getTerritory();
  if (!isValid(lang) || !isValid(terr)) return out << gs_cpszInvalidSpec;
  out << CosClLanguage::getLanguageCode(lang);
  if (terr != CosClLanguage::CosEnTerritoryUnspecified)
    out << CosClLanguage::cv_cpszCombiningCharString
        << CosClLanguage::getTerritoryCodeShort(terr);
  return out;
}
