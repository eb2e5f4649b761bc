// itl_inso_tag_table.cpp: the 95 property tags of the filter libraries.
#include "itl_inso_tag_table.hpp"

#include <cstring>

namespace {

// Sorted by name, byte order.
_ItlStINSOTagInfo const gs_INSOTagTable[ItlClInsoTagTable::kRowCount] = {
    {"SCCCA_ABSTRACT", 7, 1},
    {"SCCCA_ACCOUNT", 8, 1},
    {"SCCCA_ADDRESS", 9, 1},
    {"SCCCA_ALTFONTDATA", 97, 0},
    {"SCCCA_ANNOTATIONREFERENCE", 69, 0},
    {"SCCCA_ATTACHMENTS", 10, 1},
    {"SCCCA_AUTHORIZATION", 11, 1},
    {"SCCCA_BACKUPDATE", 12, 1},
    {"SCCCA_BASEFILELOCATION", 59, 1},
    {"SCCCA_BILLTO", 13, 1},
    {"SCCCA_BLINDCOPY", 14, 1},
    {"SCCCA_CAPTIONTEXT", 83, 0},
    {"SCCCA_CARBONCOPY", 15, 1},
    {"SCCCA_CATEGORY", 16, 1},
    {"SCCCA_CHARACTER", 95, 0},
    {"SCCCA_CHECKEDBY", 17, 1},
    {"SCCCA_CLIENT", 18, 1},
    {"SCCCA_COMPANY", 61, 1},
    {"SCCCA_COMPILEDFIELD", 67, 0},
    {"SCCCA_COMPLETEDDATE", 19, 1},
    {"SCCCA_COUNTCHARS", 20, 1},
    {"SCCCA_COUNTERFORMAT", 81, 0},
    {"SCCCA_COUNTPAGES", 21, 1},
    {"SCCCA_COUNTWORDS", 22, 1},
    {"SCCCA_CREATIONDATE", 23, 1},
    {"SCCCA_CUSTOMDATAFORMAT", 79, 0},
    {"SCCCA_DATEDEFINITION", 77, 0},
    {"SCCCA_DEPARTMENT", 24, 1},
    {"SCCCA_DESTINATION", 25, 1},
    {"SCCCA_DISPOSITION", 26, 1},
    {"SCCCA_DIVISION", 27, 1},
    {"SCCCA_DOCCOMMENT", 1, 1},
    {"SCCCA_DOCTYPE", 54, 1},
    {"SCCCA_DOCUMENTPROPERTYNAME", 91, 0},
    {"SCCCA_EDITMINUTES", 28, 1},
    {"SCCCA_EDITOR", 29, 1},
    {"SCCCA_ENDNOTEREFERENCE", 70, 0},
    {"SCCCA_FONTANDGLYPHDATA", 98, 0},
    {"SCCCA_FOOTNOTEREFERENCE", 68, 0},
    {"SCCCA_FORWARDTO", 30, 1},
    {"SCCCA_FRAME", 72, 0},
    {"SCCCA_GENERATEDFIELD", 96, 0},
    {"SCCCA_GENERATOR", 93, 0},
    {"SCCCA_GROUP", 31, 1},
    {"SCCCA_HYPERLINK", 66, 0},
    {"SCCCA_INDEX", 87, 0},
    {"SCCCA_INDEXENTRY", 75, 0},
    {"SCCCA_INLINEDATAFORMAT", 82, 0},
    {"SCCCA_KEYWORD", 2, 1},
    {"SCCCA_LANGUAGE", 32, 1},
    {"SCCCA_LASTPRINTDATE", 33, 1},
    {"SCCCA_LASTSAVEDBY", 3, 1},
    {"SCCCA_LISTENTRY", 76, 0},
    {"SCCCA_MAILSTOP", 34, 1},
    {"SCCCA_MANAGER", 60, 1},
    {"SCCCA_MATTER", 35, 1},
    {"SCCCA_MERGEENTRY", 74, 0},
    {"SCCCA_NAMEDCELLRANGE", 80, 0},
    {"SCCCA_OFFICE", 36, 1},
    {"SCCCA_OPERATOR", 37, 1},
    {"SCCCA_OWNER", 38, 1},
    {"SCCCA_PRIMARYAUTHOR", 4, 1},
    {"SCCCA_PROJECT", 39, 1},
    {"SCCCA_PUBLISHER", 40, 1},
    {"SCCCA_PURPOSE", 41, 1},
    {"SCCCA_RECEIVEDFROM", 42, 1},
    {"SCCCA_RECORDEDBY", 43, 1},
    {"SCCCA_RECORDEDDATE", 44, 1},
    {"SCCCA_REFERENCE", 45, 1},
    {"SCCCA_REFERENCEDTEXT", 99, 0},
    {"SCCCA_REVISIONDATE", 46, 1},
    {"SCCCA_REVISIONNOTES", 47, 1},
    {"SCCCA_REVISIONNUMBER", 48, 1},
    {"SCCCA_SECONDARYAUTHOR", 49, 1},
    {"SCCCA_SECTION", 50, 1},
    {"SCCCA_SECURITY", 51, 1},
    {"SCCCA_SOURCE", 52, 1},
    {"SCCCA_STATUS", 53, 1},
    {"SCCCA_STYLE", 71, 0},
    {"SCCCA_SUBDOCTEXT", 73, 0},
    {"SCCCA_SUBJECT", 5, 1},
    {"SCCCA_TITLE", 6, 1},
    {"SCCCA_TOA", 89, 0},
    {"SCCCA_TOAENTRY", 90, 0},
    {"SCCCA_TOC", 86, 0},
    {"SCCCA_TOCENTRY", 85, 0},
    {"SCCCA_TOF", 88, 0},
    {"SCCCA_TYPIST", 55, 1},
    {"SCCCA_USERDEFINEDPROP", 62, 1},
    {"SCCCA_VECTORSAVETAG", 84, 0},
    {"SCCCA_VERSIONDATE", 56, 1},
    {"SCCCA_VERSIONNOTES", 57, 1},
    {"SCCCA_VERSIONNUMBER", 58, 1},
    {"SCCCA_XREF", 92, 0},
    {"UNKNOWN_INSO_PROPERTY", 63, 0},
};

int itlINSOTagMapCompare(char const* key, _ItlStINSOTagInfo const& row) {
  return std::strcmp(key, row.name);
}

}  // namespace

unsigned int ItlClInsoTagTable::getINSOTagNumber(char const* name) {
  if (name == nullptr) return 0;
  unsigned lo = 0, hi = kRowCount;
  while (lo < hi) {
    unsigned mid = lo + (hi - lo) / 2;
    int c = itlINSOTagMapCompare(name, gs_INSOTagTable[mid]);
    if (c == 0) return gs_INSOTagTable[mid].number;
    if (c < 0)
      hi = mid;
    else
      lo = mid + 1;
  }
  return 0;
}

char const* ItlClInsoTagTable::getINSOTagForNumber(unsigned int number) {
  for (_ItlStINSOTagInfo const& row : gs_INSOTagTable)
    if (row.number == number) return row.name;
  return nullptr;
}

_ItlStINSOTagInfo const* ItlClInsoTagTable::getRows() {
  return gs_INSOTagTable;
}
