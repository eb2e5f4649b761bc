// voz_recdump.hpp -- trace dumpers of the search records.
//
// While the process's trace instance is set (gs_pclCosTraceInstance), each
// dumper writes one trace record per value through cosTraceDump: component
// 1, detail MED (the whole ranking record HIGH), data type DATA for values
// and records, CSTRING for texts. A record is dumped as it lies in memory.
// Each label is the value's path as the caller would write it
// ("cond.struct_word[wx].precision", "mix->item.num_min_value"); arrays are
// walked in order under the same label. With the trace off nothing is
// written. The dumpers read the records only.
#ifndef VOZ_RECDUMP_HPP
#define VOZ_RECDUMP_HPP

#include "files/voz_records.hpp"

// "cond", "*cond.scope" (when set), then by cond_type: 1 the simple query
// and the fields of simple_option with each section pair; 2 and 6 the query
// text; 3 struct_num, the order text and every word with its fields and
// section pairs; 4 item_num, the order text and every item with its number,
// type and the fields of its type ('C', 'N'); 5 mix_num, the order text and
// every entry through vozGTRSEARCHMIX_Trace.
void vozSearchCond_Trace(GTRSEARCH_COND cond);

// "mix->mix_type", then the word's fields (with the first entry of
// pFieldRange and of pFieldWeight when set) or the item's fields by
// item_type ('S' the count and every value, 'B' the file name, 'N' the
// bounds, 'C' the character fields).
void vozGTRSEARCHMIX_Trace(const GTRSEARCHMIX* mix);

// "rinfp", "*rinfp" (when set), rankcount, rankdoc, weight_option,
// howto_operate.
void vozRtrvRank_Trace(const RTRVRANK* rinfp);

// "resp", res_type, res_dataform, then res_fname (types 1 and 4) or
// res_handle_memory (type 2).
void vozSearchRes_Trace(const GTRSEARCH_RES* resp);

#endif  // VOZ_RECDUMP_HPP
