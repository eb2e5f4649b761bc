// Tests of the engine calls' text traces: the records through the trace
// facility and the writer of labelled values and hex dumps.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cos_trace.hpp"
#include "calls/voz_trace.hpp"

namespace {

// The text a writer produced on a temporary stream.
template <class Write>
std::string captured(Write write) {
    FILE* f = tmpfile();
    EXPECT_NE(f, nullptr);
    write(f);
    rewind(f);
    std::string text;
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    fclose(f);
    return text;
}

const std::string kPrefix(17, ' ');

// Records received by the trace facility's user callback: message texts.
std::vector<std::string> gRecords;

void collect(void*, CosEnTraceDetail, uint16_t component, CosEnTraceDataType,
             char const*, char const* message, void const*, uint32_t) {
    if (component == 1) gRecords.push_back(message != nullptr ? message : "");
}

}  // namespace

TEST(TextTrace, HexDumpLinesAreLabelledAndPadded) {
    const char data[] = "0123456789ABCDEFwxyz";
    const std::string text =
        captured([&](FILE* f) { hexdump(f, "LABEL   ", data, 20); });
    EXPECT_EQ(text,
              "LABEL         00000000:  30313233 34353637 38394142 43444546 "
              "0123456789ABCDEF \n"
              "LABEL         00000010:  7778797A                            "
              "wxyz             \n");
    EXPECT_EQ(captured([&](FILE* f) { hexdump(f, "LABEL   ", data, 0); }), "");
    const uint8_t odd[3] = {0x00, 0x7F, 0x80};
    const std::string line =
        captured([&](FILE* f) { hexdump(f, "X", odd, 3); });
    ASSERT_EQ(line.size(), 79u);
    EXPECT_EQ(line.substr(25, 6), "007F80");
    EXPECT_EQ(line.substr(61, 3), std::string(".\x7F."));
    char two[2];
    hexconv(two, 0xAF);
    EXPECT_EQ(std::string(two, 2), "AF");
}

TEST(TextTrace, ValuesByKind) {
    const int8_t b = -5;
    const int16_t h = 1234;
    const int32_t w = -70000;
    char addr[64];
    auto line = [&](const char* label, const void* p) {
        snprintf(addr, sizeof addr, "%s %s ((%08lx)) = ", kPrefix.c_str(), label,
                 (unsigned long)(uintptr_t)p);
        return std::string(addr);
    };
    EXPECT_EQ(captured([&](FILE* f) { VOZ_traceNew(f, nullptr, "b", &b, 1, 1); }),
              line("b", &b) + "    -5\n");
    EXPECT_EQ(captured([&](FILE* f) { VOZ_traceNew(f, nullptr, "h", &h, 2, 2); }),
              line("h", &h) + "  1234\n");
    EXPECT_EQ(captured([&](FILE* f) { VOZ_traceNew(f, nullptr, "w", &w, 4, 4); }),
              line("w", &w) + "    -70000\n");
    const char data[] = "abc";
    char head[96];
    snprintf(head, sizeof head, "%s %s (%08lx)\n", kPrefix.c_str(), "raw",
             (unsigned long)(uintptr_t)data);
    const std::string dump = captured([&](FILE* f) { VOZ_trace(f, nullptr, "raw", data, 3); });
    ASSERT_EQ(dump.size(), strlen(head) + 79);
    EXPECT_EQ(dump.substr(0, strlen(head)), head);
    EXPECT_EQ(dump.substr(strlen(head), 8), std::string(8, ' '));
    EXPECT_EQ(dump.substr(strlen(head) + 25, 8), "616263  ");
    const std::string titled =
        captured([&](FILE* f) { VOZ_traceNew(f, "Title", "", nullptr, 0, 0); });
    EXPECT_EQ(titled.substr(0, kPrefix.size() + 14), kPrefix + "=== Title === ");
    EXPECT_EQ(titled.back(), '\n');
    EXPECT_EQ(titled.size(), kPrefix.size() + 14 + 25);  // ctime's text
}

TEST(CallTrace, StartEndAndStatusFieldsOnlyWhileTracing) {
    GTRSTATUS st{};
    st.retcode = 3;
    gRecords.clear();
    vozTraceCallStart("GTRdemo", "calls.cpp:1");
    vozTraceCallEnd("GTRdemo", &st, "calls.cpp:2");
    EXPECT_TRUE(gRecords.empty()) << "trace is off";

    CosClTraceInstance* inst = cosTraceCreateInstance("VOZCALLTEST", nullptr);
    ASSERT_NE(inst, nullptr);
    inst->registerUserCallback(collect, nullptr);
    inst->activate();
    inst->enable();
    ASSERT_NE(gs_pclCosTraceInstance, nullptr);
    vozTraceCallStart("GTRdemo", "calls.cpp:1");
    vozTraceArg("docno", &st.retcode, 4, "calls.cpp:1");
    vozTraceText("idxname", "index", "calls.cpp:1");
    vozTraceCallEnd("GTRdemo", &st, "calls.cpp:2");
    cosTraceDeleteInstance();
    EXPECT_EQ(gs_pclCosTraceInstance, nullptr);
    const std::vector<std::string> want = {
        "GTRdemo start",          "docno",
        "idxname",                "GTRdemo end",
        "(gsp)->retcode",         "(gsp)->errcode",
        "(gsp)->errfname1",       "(gsp)->errfname2",
        "(gsp)->retrieve_status", "(gsp)->processed_index",
        "(gsp)->system_errno"};
    EXPECT_EQ(gRecords, want);
}
