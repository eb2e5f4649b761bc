// voz_recdump.cpp -- trace dumpers of the search records (see
// voz_recdump.hpp). Every record goes through dump() or dumpText(), which
// test the trace instance first, so a dumper costs one test while the trace
// is off.
#include "calls/voz_recdump.hpp"

#include <cstdio>
#include <cstring>

#include "cos_trace.hpp"

namespace {

constexpr uint16_t kComponent = 1;
const char kOrigin[] = "source/itl_base/calls/voz_recdump.cpp";

bool traceOn() { return gs_pclCosTraceInstance != nullptr; }

void dump(const char* label, const void* data, size_t n,
          CosEnTraceDetail detail = CosEnTraceDetail::MED) {
    if (!traceOn()) return;
    cosTraceDump(detail, kComponent, CosEnTraceDataType::DATA, kOrigin, label,
                 data, static_cast<uint32_t>(n));
}

// `n` bytes of text (not terminated), or a terminated text when n < 0.
void dumpText(const char* label, const void* text, long n = -1) {
    if (!traceOn()) return;
    uint32_t len = 0;
    if (text != nullptr)
        len = static_cast<uint32_t>(
            n < 0 ? std::strlen(static_cast<const char*>(text))
                  : static_cast<size_t>(n));
    cosTraceDump(CosEnTraceDetail::MED, kComponent, CosEnTraceDataType::CSTRING,
                 kOrigin, label, text, len);
}

// "<prefix><sep><field>", cut to the buffer.
class Label {
public:
    Label(const char* prefix, const char* field) {
        std::snprintf(text_, sizeof text_, "%s.%s", prefix, field);
    }
    const char* c_str() const { return text_; }

private:
    char text_[160];
};

template <typename T>
void field(const char* prefix, const char* name, const T& value) {
    dump(Label(prefix, name).c_str(), &value, sizeof value);
}

void sectionPairs(const char* prefix, int32_t count, const RTRVRANGE* range) {
    if (range == nullptr) return;
    Label starts(prefix, "range[rx].start"), ends(prefix, "range[rx].end");
    for (int32_t rx = 0; rx < count; ++rx) {
        dump(starts.c_str(), &range[rx].start, sizeof range[rx].start);
        dump(ends.c_str(), &range[rx].end, sizeof range[rx].end);
    }
}

void simpleOption(const SIMPLERTRVOPT& o) {
    const char* p = "cond.simple_option";
    field(p, "Operator.op", o.Operator.op);
    field(p, "Operator.op_dlmno", o.Operator.op_dlmno);
    field(p, "Operator.discon_count", o.Operator.discon_count);
    field(p, "casesens", o.casesens);
    field(p, "precision", o.precision);
    field(p, "rangenum", o.rangenum);
    field(p, "range", o.range);
    field(p, "range_dlmno", o.range_dlmno);
    field(p, "start_option", o.start_option);
    field(p, "stemming", o.stemming);
    field(p, "mask", o.mask);
    field(p, "fld_number", o.fld_number);
    field(p, "search_flag", o.search_flag);
    sectionPairs(p, o.rangenum, o.range);
}

void wordFields(const char* p, const RTRVWORD& w) {
    field(p, "type", w.type);
    field(p, "start_option", w.start_option);
    field(p, "casesens", w.casesens);
    field(p, "stemming", w.stemming);
    dumpText(Label(p, "wordp").c_str(), w.wordp, w.wordlen < 0 ? 0 : w.wordlen);
    field(p, "wordlen", w.wordlen);
    field(p, "precision", w.precision);
    field(p, "rangenum", w.rangenum);
    field(p, "range", w.range);
    field(p, "range_dlmno", w.range_dlmno);
    field(p, "fld_number", w.fld_number);
    field(p, "pFieldRange", w.pFieldRange);
    field(p, "pFieldWeight", w.pFieldWeight);
    field(p, "mask", w.mask);
    field(p, "weight", w.weight);
    field(p, "docfreq", w.docfreq);
    field(p, "search_flag", w.search_flag);
}

void charItemFields(const char* p, const SEARCHITEM& it) {
    dumpText(Label(p, "char_ptr").c_str(), it.char_ptr,
             it.char_len < 0 ? 0 : it.char_len);
    field(p, "char_len", it.char_len);
    field(p, "char_mask", it.char_mask);
    field(p, "char_precision", it.char_precision);
    field(p, "char_casesens", it.char_casesens);
}

void numItemFields(const char* p, const SEARCHITEM& it) {
    field(p, "num_min_value", it.num_min_value);
    field(p, "num_max_value", it.num_max_value);
    field(p, "num_min_equal", it.num_min_equal);
    field(p, "num_max_equal", it.num_max_equal);
}

void structWords(const GTRSEARCH_COND& cond) {
    dump("cond.struct_num", &cond.struct_num, sizeof cond.struct_num);
    dumpText("(char *)cond.struct_order", cond.struct_order);
    if (cond.struct_word == nullptr) return;
    const char* p = "cond.struct_word[wx]";
    for (int32_t wx = 0; wx < cond.struct_num; ++wx) {
        const RTRVWORD& w = cond.struct_word[wx];
        dump(p, &w, sizeof w);
        wordFields(p, w);
        sectionPairs(p, w.rangenum, w.range);
    }
}

void items(const GTRSEARCH_COND& cond) {
    dump("cond.item_num", &cond.item_num, sizeof cond.item_num);
    dumpText("(char *)cond.item_order", cond.item_order);
    if (cond.item == nullptr) return;
    const char* p = "cond.item[ix]";
    for (int32_t ix = 0; ix < cond.item_num; ++ix) {
        const SEARCHITEM& it = cond.item[ix];
        dump(p, &it, sizeof it);
        field(p, "item_number", it.item_number);
        field(p, "item_type", it.item_type);
        if (it.item_type == 'C') charItemFields(p, it);
        if (it.item_type == 'N') numItemFields(p, it);
    }
}

void mixes(const GTRSEARCH_COND& cond) {
    dump("cond.mix_num", &cond.mix_num, sizeof cond.mix_num);
    dumpText("(char *)cond.mix_order", cond.mix_order);
    if (cond.mix == nullptr) return;
    for (int32_t mx = 0; mx < cond.mix_num; ++mx) {
        dump("cond.mix[mx]", &cond.mix[mx], sizeof cond.mix[mx]);
        vozGTRSEARCHMIX_Trace(&cond.mix[mx]);
    }
}

void mixItem(const SEARCHITEM& it) {
    const char* p = "mix->item";
    field(p, "item_number", it.item_number);
    field(p, "item_type", it.item_type);
    switch (it.item_type) {
    case 'S':
        field(p, "numset_num", it.numset_num);
        if (it.numset_value != nullptr)
            for (int32_t nx = 0; nx < it.numset_num; ++nx)
                dump("mix->item.numset_value[nx]", &it.numset_value[nx],
                     sizeof it.numset_value[nx]);
        break;
    case 'B':
        dumpText("(char *)mix->item.bref_fname", it.bref_fname,
                 it.bref_len < 0 ? 0 : it.bref_len);
        field(p, "bref_len", it.bref_len);
        break;
    case 'N': numItemFields(p, it); break;
    case 'C': charItemFields(p, it); break;
    default: break;
    }
}

}  // namespace

void vozSearchCond_Trace(GTRSEARCH_COND cond) {
    if (!traceOn()) return;
    dump("cond", &cond, sizeof cond);
    if (cond.scope != nullptr) dump("*cond.scope", cond.scope, sizeof *cond.scope);
    switch (cond.cond_type) {
    case GTR_COND_SIMPLE:
        dumpText("(char *)cond.simple_query", cond.simple_query);
        simpleOption(cond.simple_option);
        break;
    case GTR_COND_QUERY:
    case GTR_COND_MIXQUERY: dumpText("(char *)cond.query", cond.query); break;
    case GTR_COND_STRUCT: structWords(cond); break;
    case GTR_COND_ITEM: items(cond); break;
    case GTR_COND_MIX: mixes(cond); break;
    default: break;
    }
}

void vozGTRSEARCHMIX_Trace(const GTRSEARCHMIX* mix) {
    if (!traceOn() || mix == nullptr) return;
    dump("mix->mix_type", &mix->mix_type, sizeof mix->mix_type);
    if (mix->mix_type == GTR_MIX_WORD) {
        const RTRVWORD& w = mix->word;
        wordFields("mix->word", w);
        if (w.pFieldRange != nullptr)
            dump("mix->word.pFieldRange[0]", w.pFieldRange, sizeof *w.pFieldRange);
        if (w.pFieldWeight != nullptr)
            dump("mix->word.pFieldWeight[0]", w.pFieldWeight,
                 sizeof *w.pFieldWeight);
    } else if (mix->mix_type == GTR_MIX_ITEM) {
        mixItem(mix->item);
    }
}

void vozRtrvRank_Trace(const RTRVRANK* rinfp) {
    if (!traceOn()) return;
    dump("rinfp", &rinfp, sizeof rinfp);
    if (rinfp == nullptr) return;
    dump("*rinfp", rinfp, sizeof *rinfp, CosEnTraceDetail::HIGH);
    dump("rinfp->rankcount", &rinfp->rankcount, sizeof rinfp->rankcount);
    dump("rinfp->rankdoc", &rinfp->rankdoc, sizeof rinfp->rankdoc);
    dump("rinfp->weight_option", &rinfp->weight_option,
         sizeof rinfp->weight_option);
    dump("rinfp->howto_operate", &rinfp->howto_operate,
         sizeof rinfp->howto_operate);
}

void vozSearchRes_Trace(const GTRSEARCH_RES* resp) {
    if (!traceOn()) return;
    dump("resp", &resp, sizeof resp);
    if (resp == nullptr) return;
    dump("resp->res_type", &resp->res_type, sizeof resp->res_type);
    dump("resp->res_dataform", &resp->res_dataform, sizeof resp->res_dataform);
    if (resp->res_type == GTR_RES_FILE || resp->res_type == GTR_RES_FILE_HEADER) {
        // The name need not be terminated: at most its 2048 bytes are read.
        dumpText("resp->res_fname", resp->res_fname,
                 static_cast<long>(strnlen(resp->res_fname, GTR_RES_FNAME_LEN)));
    } else if (resp->res_type == GTR_RES_HANDLE) {
        dump("resp->res_handle_memory", &resp->res_handle_memory,
             sizeof resp->res_handle_memory);
    }
}
