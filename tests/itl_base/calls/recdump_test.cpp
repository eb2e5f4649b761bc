// Tests of the search-record dumpers: the labels they write, in order, with
// the trace on, and nothing with the trace off.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "calls/voz_recdump.hpp"
#include "cos_trace.hpp"

namespace {

struct Record {
    std::string label;
    CosEnTraceDataType type;
    CosEnTraceDetail detail;
    uint32_t length;
};
std::vector<Record> gRecords;

void collect(void*, CosEnTraceDetail detail, uint16_t component,
             CosEnTraceDataType type, char const*, char const* message,
             void const*, uint32_t length) {
    if (component == 1) gRecords.push_back({message, type, detail, length});
}

// Runs `dumper` with a trace instance that collects its records.
template <typename F>
std::vector<std::string> traced(F dumper) {
    gRecords.clear();
    CosClTraceInstance* inst = cosTraceCreateInstance("VOZRECDUMPTEST", nullptr);
    EXPECT_NE(inst, nullptr);
    inst->registerUserCallback(collect, nullptr);
    inst->activate();
    inst->enable();
    dumper();
    cosTraceDeleteInstance();
    std::vector<std::string> labels;
    for (const Record& r : gRecords) labels.push_back(r.label);
    return labels;
}

typedef std::vector<std::string> Labels;

Labels wordLabels(const std::string& p) {
    Labels out;
    for (const char* f : {"type", "start_option", "casesens", "stemming", "wordp",
                          "wordlen", "precision", "rangenum", "range",
                          "range_dlmno", "fld_number", "pFieldRange",
                          "pFieldWeight", "mask", "weight", "docfreq",
                          "search_flag"})
        out.push_back(p + "." + f);
    return out;
}

Labels operator+(Labels a, const Labels& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(RecordDump, SimpleConditionWithScopeAndSections) {
    RTRVRANGE sections[2] = {{1, 2}, {5, 6}};
    GTRSEARCH_RES scope{};
    GTRSEARCH_COND cond{};
    cond.scope = &scope;
    cond.cond_type = GTR_COND_SIMPLE;
    cond.simple_query = const_cast<char*>("red car");
    cond.simple_option.rangenum = 2;
    cond.simple_option.range = sections;
    const std::string o = "cond.simple_option.";
    Labels want = {"cond", "*cond.scope", "(char *)cond.simple_query"};
    for (const char* f : {"Operator.op", "Operator.op_dlmno",
                          "Operator.discon_count", "casesens", "precision",
                          "rangenum", "range", "range_dlmno", "start_option",
                          "stemming", "mask", "fld_number", "search_flag",
                          "range[rx].start", "range[rx].end", "range[rx].start",
                          "range[rx].end"})
        want.push_back(o + f);
    EXPECT_EQ(traced([&] { vozSearchCond_Trace(cond); }), want);
    EXPECT_EQ(gRecords[0].length, sizeof(GTRSEARCH_COND));
    EXPECT_EQ(gRecords[1].length, sizeof(GTRSEARCH_RES));
    EXPECT_EQ(gRecords[2].type, CosEnTraceDataType::CSTRING);
    EXPECT_EQ(gRecords[2].length, 7u);
    EXPECT_EQ(gRecords[3].type, CosEnTraceDataType::DATA);
    EXPECT_EQ(gRecords[3].detail, CosEnTraceDetail::MED);
}

TEST(RecordDump, QueryAndStructuredConditions) {
    GTRSEARCH_COND cond{};
    cond.cond_type = GTR_COND_MIXQUERY;
    cond.query = const_cast<char*>("red");
    EXPECT_EQ(traced([&] { vozSearchCond_Trace(cond); }),
              (Labels{"cond", "(char *)cond.query"}));

    RTRVRANGE section = {3, 4};
    uint8_t text[] = {'c', 'a', 'r'};
    RTRVWORD words[2] = {};
    words[0].wordp = text;
    words[0].wordlen = 3;
    words[1].rangenum = 1;
    words[1].range = &section;
    cond = GTRSEARCH_COND{};
    cond.cond_type = GTR_COND_STRUCT;
    cond.struct_num = 2;
    cond.struct_word = words;
    cond.struct_order = const_cast<char*>("1*2");
    const std::string p = "cond.struct_word[wx]";
    Labels want = Labels{"cond", "cond.struct_num", "(char *)cond.struct_order", p} +
                  wordLabels(p) + Labels{p} + wordLabels(p) +
                  Labels{p + ".range[rx].start", p + ".range[rx].end"};
    EXPECT_EQ(traced([&] { vozSearchCond_Trace(cond); }), want);
    EXPECT_EQ(gRecords[3].length, sizeof(RTRVWORD));
    EXPECT_EQ(gRecords[8].label, p + ".wordp");
    EXPECT_EQ(gRecords[8].length, 3u);
}

TEST(RecordDump, MixedConditionThroughTheMixDumper) {
    GTRFIELDRANGE fr{};
    GTRSEARCHMIX mix[3] = {};
    mix[0].mix_type = GTR_MIX_WORD;
    mix[0].word.pFieldRange = &fr;
    mix[0].word.fld_number = 1;
    mix[1].mix_type = GTR_MIX_ITEM;
    mix[1].item.item_type = 'N';
    double values[2] = {1, 2};
    mix[2].mix_type = GTR_MIX_ITEM;
    mix[2].item.item_type = 'S';
    mix[2].item.numset_num = 2;
    mix[2].item.numset_value = values;
    GTRSEARCH_COND cond{};
    cond.cond_type = GTR_COND_MIX;
    cond.mix_num = 3;
    cond.mix = mix;
    cond.mix_order = const_cast<char*>("1+2+3");
    Labels want = Labels{"cond", "cond.mix_num", "(char *)cond.mix_order",
                         "cond.mix[mx]", "mix->mix_type"} +
                  wordLabels("mix->word") +
                  Labels{"mix->word.pFieldRange[0]", "cond.mix[mx]",
                         "mix->mix_type", "mix->item.item_number",
                         "mix->item.item_type", "mix->item.num_min_value",
                         "mix->item.num_max_value", "mix->item.num_min_equal",
                         "mix->item.num_max_equal", "cond.mix[mx]",
                         "mix->mix_type", "mix->item.item_number",
                         "mix->item.item_type", "mix->item.numset_num",
                         "mix->item.numset_value[nx]",
                         "mix->item.numset_value[nx]"};
    EXPECT_EQ(traced([&] { vozSearchCond_Trace(cond); }), want);
    EXPECT_EQ(gRecords[3].length, sizeof(GTRSEARCHMIX));
}

TEST(RecordDump, RankAndResultRecords) {
    GTRSEARCH_RANK rank{};
    EXPECT_EQ(traced([&] { vozRtrvRank_Trace(&rank); }),
              (Labels{"rinfp", "*rinfp", "rinfp->rankcount", "rinfp->rankdoc",
                      "rinfp->weight_option", "rinfp->howto_operate"}));
    EXPECT_EQ(gRecords[1].detail, CosEnTraceDetail::HIGH);
    EXPECT_EQ(gRecords[1].length, sizeof(GTRSEARCH_RANK));
    EXPECT_EQ(traced([&] { vozRtrvRank_Trace(nullptr); }), (Labels{"rinfp"}));

    GTRSEARCH_RES res{};
    res.res_type = GTR_RES_FILE;
    std::strcpy(res.res_fname, "/tmp/r");
    EXPECT_EQ(traced([&] { vozSearchRes_Trace(&res); }),
              (Labels{"resp", "resp->res_type", "resp->res_dataform",
                      "resp->res_fname"}));
    EXPECT_EQ(gRecords[3].length, 6u);
    res.res_type = GTR_RES_HANDLE;
    EXPECT_EQ(traced([&] { vozSearchRes_Trace(&res); }),
              (Labels{"resp", "resp->res_type", "resp->res_dataform",
                      "resp->res_handle_memory"}));
}

TEST(RecordDump, NothingWhileTheTraceIsOff) {
    ASSERT_EQ(gs_pclCosTraceInstance, nullptr);
    gRecords.clear();
    GTRSEARCH_COND cond{};
    cond.cond_type = GTR_COND_SIMPLE;
    GTRSEARCH_RANK rank{};
    GTRSEARCH_RES res{};
    GTRSEARCHMIX mix{};
    vozSearchCond_Trace(cond);
    vozRtrvRank_Trace(&rank);
    vozSearchRes_Trace(&res);
    vozGTRSEARCHMIX_Trace(&mix);
    EXPECT_TRUE(gRecords.empty());
}

}  // namespace
