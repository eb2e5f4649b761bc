// Trace facility: settings from the environment, the record layout and its
// text compression, the ring buffer and its overflow into the trace file,
// and the process's instance with the guard (in forked children, since the
// instance is process-wide).

#include <gtest/gtest.h>

#include "ti_test_util.hpp"
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "cos_trace.hpp"
#include "cos_traceformat.hpp"

namespace {

// A trace key of its own per call, and a trace file name for it.
std::string newKey() {
  static int n = 0;
  return "ttest" + std::to_string(getpid()) + "x" + std::to_string(++n);
}
std::string upper(std::string s) {
  for (char& c : s) c = (char)toupper((unsigned char)c);
  return s;
}
std::string tempDir() {
  char const* tmp = getenv("TMP");
  return tmp ? tmp : "/tmp";
}

// Sets <KEY><suffix> for the lifetime of the object.
struct EnvSet {
  std::vector<std::string> names;
  std::string key;
  explicit EnvSet(std::string k) : key(std::move(k)) {}
  void set(char const* suffix, char const* value) {
    names.push_back(upper(key) + suffix);
    setenv(names.back().c_str(), value, 1);
  }
  ~EnvSet() {
    for (auto const& n : names) unsetenv(n.c_str());
  }
};

// Runs `body` in a forked child; returns its exit status (or -1).
int inChild(std::function<int()> const& body) {
  fflush(stdout);
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string hex(uint8_t const* p, size_t n) {
  std::string s;
  char b[4];
  for (size_t i = 0; i < n; ++i) {
    snprintf(b, sizeof b, "%02X", p[i]);
    s += b;
  }
  return s;
}

}  // namespace

TEST(TraceCompression, PacksSixBitCodesWithOneFill) {
  struct Case { char const* text; char const* packed; };
  Case const cases[] = {
      {"A,b", "2C19BF"},     // 11, 1, 38 then six one bits
      {"\xE9", "FFA7"},      // escape 63, 0xE9, two one bits
      {"\xFF", "FFFF"},
      {" ", "03"},           // code 0, two one bits
      {"", ""},
  };
  for (Case const& c : cases) {
    uint8_t out[255];
    unsigned n = CosClTraceEntry::compressCString(out, c.text, 255);
    EXPECT_EQ(hex(out, n), c.packed) << c.text;
    char back[512];
    EXPECT_EQ(CosClTraceEntry::deCompressCString(back, out, n), strlen(c.text));
    EXPECT_STREQ(back, c.text);
  }
  std::mt19937 rng(testSeed());
  for (int round = 0; round < 200; ++round) {
    std::string s;
    size_t len = rng() % 150;
    for (size_t i = 0; i < len; ++i) s += (char)(1 + rng() % 255);
    uint8_t out[255];
    unsigned n = CosClTraceEntry::compressCString(out, s.c_str(), 255);
    char back[512];
    unsigned m = CosClTraceEntry::deCompressCString(back, out, n);
    ASSERT_LE(m, s.size());
    ASSERT_EQ(std::string(back, m), s.substr(0, m)) << "round " << round;
    if (s.size() <= 145) {
      ASSERT_EQ(m, s.size());  // 145 x 14 bits always fit
    }
  }
}

TEST(TraceCompression, LongTextsStopWithinTheLimit) {
  std::string plain(400, 'a');
  uint8_t out[255];
  char back[512];
  unsigned n = CosClTraceEntry::compressCString(out, plain.c_str(), 255);
  EXPECT_EQ(n, 255u);
  EXPECT_EQ(CosClTraceEntry::deCompressCString(back, out, n), 339u);
  std::string escaped(300, '\xE9');
  n = CosClTraceEntry::compressCString(out, escaped.c_str(), 255);
  EXPECT_EQ(n, 254u);
  EXPECT_EQ(CosClTraceEntry::deCompressCString(back, out, n), 145u);
}

TEST(TraceSettings, ResourceKeyMapsForeignCharacters) {
  CosClResourceKeySemaphore key("my/key", "x y");
  EXPECT_STREQ(key.getAsCString(), "???:my:key:xGy");
  EXPECT_STREQ(key.getKey(), "my:key:xGy");
  EXPECT_TRUE(key.matches("???:my:key:xGy and more"));
  EXPECT_FALSE(key.matches("???:my:key:xGz"));
  CosClResourceKeySemaphore noInstance("k", nullptr);
  EXPECT_STREQ(noInstance.getAsCString(), "???:k");
  CosClResourceKeySemaphore copy = key;
  EXPECT_STREQ(copy.getKey(), "my:key:xGy");
  std::string longKey(400, 'k');
  CosClResourceKeySemaphore cut(longKey.c_str(), "i");
  EXPECT_EQ(strlen(cut.getAsCString()), 255u);
}

TEST(TraceSettings, FilterParsesDetailAndComponentIds) {
  struct Detail { char const* text; unsigned level; };
  Detail const details[] = {{"med", 2}, {"none", 0}, {"HIGHEST", 3},
                            {"low", 1}, {"Hi", 0},   {"", 0}};
  for (Detail const& d : details) {
    CosClTraceFilter f;
    f.setDetail(d.text);
    EXPECT_EQ((unsigned)f.getDetail(), d.level) << d.text;
  }
  EXPECT_STREQ(CosClTraceFilter::getDetailAsCString(2), "MED");
  EXPECT_EQ(CosClTraceFilter::getDetailAsCString(4), nullptr);

  CosClTraceSettings s;
  EXPECT_FALSE(s.filter().usesCompIdFilter());
  s.initComponentIds("5,10.20,-12");
  for (unsigned id = 0; id < 256; ++id) {
    // Id 0 is cleared with the rest; records of component 0 pass anyway.
    bool expected = id == 5 || (id >= 10 && id <= 20 && id != 12);
    EXPECT_EQ(s.filter().isComponentIdEnabled((uint8_t)id), expected) << id;
  }
  EXPECT_TRUE(s.filter().usesCompIdFilter());
  CosClTraceFilter all;
  all.disableAllComponentIds();
  all.enableComponentIds("*");
  EXPECT_FALSE(all.isComponentIdEnabled(0));  // never changed by a text
  EXPECT_TRUE(all.isComponentIdEnabled(1));
  EXPECT_TRUE(all.isComponentIdEnabled(255));
  all.setComponentIdSet(250, 999, false);
  EXPECT_FALSE(all.isComponentIdEnabled(255));
  EXPECT_TRUE(all.isComponentIdEnabled(249));
  EXPECT_EQ(s.getFlags(), (uint32_t)(COS_TRACE_FLAG_COMPRESS | COS_TRACE_FLAG_AUTOSAVE));
}

TEST(TraceSettings, BufferSizeIsClampedWithoutWrapAround) {
  struct Case { char const* text; uint32_t bytes; };
  Case const cases[] = {{"3", 4096},         {"5", 5120},
                        {"20000", 16777216}, {"-1", 4096},
                        {"abc", 4096},       {"16384", 16777216},
                        {"4194304", 16777216},  // wraps to 0 in 32 bits
                        {"4194309", 16777216}}; // wraps to 5120 in 32 bits
  for (Case const& c : cases) {
    std::string key = newKey();
    EnvSet env(key);
    env.set("_TRACE_BUFSIZE", c.text);
    CosClTraceEnvironment e(key.c_str(), nullptr, true);
    EXPECT_EQ(e.getTotalBufferSize(), c.bytes) << c.text;
    EXPECT_EQ(e.getBufferSize(), c.bytes - COS_TRACE_BUFFER_HEADER_SIZE);
  }
  std::string key = newKey();
  CosClTraceEnvironment def(key.c_str(), nullptr, true);
  EXPECT_EQ(def.getTotalBufferSize(), 65535u);
  EXPECT_EQ(def.getBufferManager()->getRingSize(),
            65535u - COS_TRACE_BUFFER_HEADER_SIZE);
}

TEST(TraceSettings, VariablesAreNamedByTheUpperCaseKey) {
  std::string key = newKey();
  EnvSet env(key);
  env.set("_TRACE_ACTIVE", "yes");
  env.set("_TRACE_DETAIL", "high");
  env.set("_TRACE_AUTOFLUSH", "ON");
  env.set("_TRACE_COMPSET", "3");
  env.set("_TRACE_FORMAT", "%m");
  env.set("_TRACE_COMPRESS", "off");  // cannot clear the default
  CosClTraceEnvironment e(key.c_str(), nullptr, true);
  EXPECT_TRUE(e.isActive());
  EXPECT_EQ(e.getSettings().filter().getDetail(), CosEnTraceDetail::HIGH);
  EXPECT_TRUE(e.getSettings().hasFlag(COS_TRACE_FLAG_AUTOFLUSH));
  EXPECT_TRUE(e.getSettings().hasFlag(COS_TRACE_FLAG_COMPRESS));
  EXPECT_FALSE(e.getSettings().hasFlag(COS_TRACE_FLAG_AUTOCLEAR));
  EXPECT_TRUE(e.getSettings().filter().isComponentIdEnabled(3));
  EXPECT_FALSE(e.getSettings().filter().isComponentIdEnabled(4));
  EXPECT_STREQ(e.getFormatString(), "%m");
  EXPECT_STREQ(e.getResourceKey().getKey(), (key + ":COSTRACEINSTANCE0").c_str());
  EXPECT_EQ(e.getFileName().getAsCString(),
            tempDir() + (tempDir().back() == '/' ? "" : "/") + key + "trace.trc");

  std::string other = newKey();
  CosClTraceEnvironment off(other.c_str(), "inst", true);
  EXPECT_FALSE(off.isActive());
  EXPECT_STREQ(off.getFormatString(), CosClTraceEnvironment::DEFAULT_FORMAT);
  EXPECT_EQ(off.getSettings().filter().getDetail(), CosEnTraceDetail::LOW);
}

TEST(TraceRecord, LayoutIsByteExact) {
  std::string key = newKey();
  CosClTraceEnvironment env(key.c_str(), nullptr, true);
  int32_t value = 0x01020304;
  CosClTraceEntry e(env, CosEnTraceDetail::MED, 0x1234,
                    CosEnTraceDataType::INT32, "f", "m", &value, 4);
  uint8_t pid[4];
  uint32_t p = (uint32_t)getpid();
  memcpy(pid, &p, 4);
  ASSERT_EQ(e.getRecordLength(), 22u);
  EXPECT_EQ(hex(e.getRecord(), 22),
            "AF340101" "00000000" + hex(pid, 4) + "00000000" "04000000" "C7AB");
  EXPECT_EQ(e.getType(), 15u);
  EXPECT_EQ(e.getDetail(), 2u);
  EXPECT_TRUE(e.isCompressed());

  CosClTraceEntry nullData(env, CosEnTraceDetail::LOW, 1,
                           CosEnTraceDataType::DATA, "", "", nullptr, 10);
  EXPECT_EQ(nullData.getType(), 6u);
  EXPECT_EQ(nullData.getDataLength(), 0u);
  std::vector<uint8_t> big(70000);
  CosClTraceEntry clipped(env, CosEnTraceDetail::LOW, 1,
                          CosEnTraceDataType::DATA, "", "", big.data(),
                          (uint32_t)big.size());
  EXPECT_EQ(clipped.getType(), 5u);
  EXPECT_EQ(clipped.getDataLength(), 65535u - COS_TRACE_BUFFER_HEADER_SIZE);
}

namespace {

// One record as written, for comparison with what the file holds.
struct Written {
  uint32_t type, detail, component, length;
  std::string message, function, data;
};

std::vector<Written> readBack(CosClTraceEnvironment& env, std::string const& file) {
  std::vector<Written> out;
  std::ifstream in(file, std::ios::binary);
  CosClTraceFileEntry e(env);
  while (e.read(in)) {
    Written w{e.getType(), e.getDetail(), e.getComponentId(), e.getDataLength(),
              e.getMessageText(), e.getFunctionText(), std::string()};
    w.data.resize(w.length);
    in.read(&w.data[0], w.length);
    EXPECT_EQ((uint32_t)in.gcount(), w.length);
    out.push_back(w);
  }
  return out;
}

int gs_overflows = 0;
void countingHandler(_CosStTraceBufferCallBackInfo& info) {
  ++gs_overflows;
  cosTraceBufferOverflowHandler(info);
}

}  // namespace

TEST(TraceRing, SmallRingOverflowsIntoTheFileWithoutLoss) {
  std::string key = newKey();
  std::string file = tempDir() + "/" + key + ".trc";
  EnvSet envVars(key);
  envVars.set("_TRACE_BUFSIZE", "4");
  envVars.set("_TRACE_FILE", file.c_str());
  envVars.set("_TRACE_DETAIL", "HIGH");
  remove(file.c_str());
  std::vector<Written> model;
  std::mt19937 rng(testSeed());
  {
    CosClTraceEnvironment env(key.c_str(), nullptr, true);
    gs_overflows = 0;
    env.getBufferManager()->setOverflowHandler(&countingHandler, &env);
    uint32_t total = 0;
    for (int i = 0; i < 400; ++i) {
      std::string data(rng() % 3000, '\0');
      for (char& c : data) c = (char)rng();
      std::string message = "message " + std::to_string(i);
      std::string function = "src/file.cpp:" + std::to_string(rng() % 1000);
      uint32_t detail = rng() % 4;
      uint32_t component = rng() % 256;
      CosClTraceEntry e(env, (CosEnTraceDetail)detail, (uint16_t)component,
                        CosEnTraceDataType::DATA, function.c_str(),
                        message.c_str(), data.data(), (uint32_t)data.size());
      env.add(e);
      total += e.getRecordLength() + (uint32_t)data.size();
      model.push_back({4, detail, component, (uint32_t)data.size(), message,
                       function, data});
    }
    EXPECT_GE(gs_overflows, (int)(total / env.getBufferSize()));
    // Data longer than the ring: cut to the ring size, marked clipped.
    std::string huge(6000, '\0');
    for (char& c : huge) c = (char)rng();
    CosClTraceEntry e(env, CosEnTraceDetail::LOW, 9, CosEnTraceDataType::DATA,
                      "big", "clipped", huge.data(), (uint32_t)huge.size());
    env.add(e);
    uint32_t ring = env.getBufferSize();
    model.push_back({5, 1, 9, ring, "clipped", "big", huge.substr(0, ring)});
  }  // the destructor flushes the rest
  std::string readerKey = newKey();
  CosClTraceEnvironment reader(readerKey.c_str(), nullptr, true);
  std::vector<Written> back = readBack(reader, file);
  ASSERT_EQ(back.size(), model.size());
  for (size_t i = 0; i < model.size(); ++i) {
    EXPECT_EQ(back[i].type, model[i].type) << i;
    EXPECT_EQ(back[i].detail, model[i].detail) << i;
    EXPECT_EQ(back[i].component, model[i].component) << i;
    EXPECT_EQ(back[i].message, model[i].message) << i;
    EXPECT_EQ(back[i].function, model[i].function) << i;
    ASSERT_EQ(back[i].data, model[i].data) << i;
  }
  remove(file.c_str());
}

TEST(TraceRing, RecordFillingTheRestCallsTheHandlerOnce) {
  std::string key = newKey();
  std::string file = tempDir() + "/" + key + ".trc";
  EnvSet envVars(key);
  envVars.set("_TRACE_BUFSIZE", "4");
  envVars.set("_TRACE_FILE", file.c_str());
  remove(file.c_str());
  {
    CosClTraceEnvironment env(key.c_str(), nullptr, true);
    CosClTraceBufferManager& ring = *env.getBufferManager();
    gs_overflows = 0;
    ring.setOverflowHandler(&countingHandler, &env);
    std::string first(1000, 'a');
    CosClTraceEntry a(env, CosEnTraceDetail::OFF, 0, CosEnTraceDataType::DATA,
                      "", "", first.data(), (uint32_t)first.size());
    env.add(a);
    uint32_t rest = ring.getRingSize() - ring.getWriteOffset();
    std::string fill(rest - 20, 'b');  // 20: header, no texts
    CosClTraceEntry b(env, CosEnTraceDetail::OFF, 0, CosEnTraceDataType::DATA,
                      "", "", fill.data(), (uint32_t)fill.size());
    env.add(b);
    EXPECT_EQ(gs_overflows, 1);
    EXPECT_EQ(ring.getWriteOffset(), 0u);
    EXPECT_EQ(readFile(file).size(), ring.getRingSize());
    ring.flush();  // nothing new since the wrap: an empty hand-over
    EXPECT_EQ(readFile(file).size(), ring.getRingSize());
  }
  remove(file.c_str());
}

// ---------------------------------------------------------------------------
// The process's instance, in forked children.

namespace {

// The small traced program of the tests.
int traced(int n) {
  CosClTrace guard(CosEnTraceDetail::LOW, 7, __FILE__ ":traced");
  guard.dump(CosEnTraceDataType::INT32, "n", &n, sizeof n);
  return n > 0 ? traced(n - 1) + 1 : 0;
}

}  // namespace

TEST(TraceInstance, ActiveTraceWritesRecordsThatFormatBack) {
  std::string key = newKey();
  std::string file = tempDir() + "/" + key + ".trc";
  remove(file.c_str());
  int rc = inChild([&] {
    setenv((upper(key) + "_TRACE_ACTIVE").c_str(), "ON", 1);
    setenv((upper(key) + "_TRACE_FILE").c_str(), file.c_str(), 1);
    setenv((upper(key) + "_TRACE_DETAIL").c_str(), "HIGH", 1);
    CosClTraceInstance* inst = cosTraceCreateInstance(key.c_str(), nullptr);
    if (gs_pclCosTraceInstance != inst || !cosTraceIsEnabled()) return 1;
    if (CosClTraceInstance::createInstance("other", "x") != inst) return 2;
    traced(2);
    cosTraceDump(CosEnTraceDetail::MED, 3, CosEnTraceDataType::CSTRING,
                 "main", "text", "hello", 5);
    int8_t c = 65;
    cosTraceDump(CosEnTraceDetail::HIGH, 3, CosEnTraceDataType::INT8, "main",
                 "i8", &c, 1);
    void* p = (void*)0x1234;
    cosTraceDump(CosEnTraceDetail::HIGH, 3, CosEnTraceDataType::POINTER,
                 "main", "ptr", &p, sizeof p);
    cosTraceFlush();
    cosTraceDeleteInstance();
    return gs_pclCosTraceInstance == nullptr ? 0 : 3;
  });
  ASSERT_EQ(rc, 0);

  std::string fmtKey = newKey();
  EnvSet env(fmtKey);
  env.set("_TRACE_FILE", file.c_str());
  env.set("_TRACE_DETAIL", "HIGH");
  CosClTraceEnvironment reader(fmtKey.c_str(), nullptr, true);
  CosClTraceFormatter fmt(reader);
  fmt.setFormatString("%f|%c|%l|%m|%p|%s|%t|%x|%X|%d|%%|%q%n");
  std::ostringstream out;
  fmt.format(out);
  std::string pid;  // the child's: take it from the first line
  std::vector<std::string> lines;
  std::istringstream in(out.str());
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  ASSERT_EQ(lines.size(), 12u) << out.str();
  EXPECT_EQ(fmt.getEntryCount(), 12u);
  size_t a = lines[0].find("|OFF||") + 6;
  pid = lines[0].substr(a, lines[0].find('|', a) - a);
  ASSERT_FALSE(pid.empty());
  std::string const f = __FILE__ ":traced";
  std::string const tail = "|" + pid + "|0|0|";
  std::vector<std::string> expected = {
      f + "|7|OFF|" + tail + "FE|FUNCTION ENTRY||%|%",
      f + "|7|LOW|n" + tail + "i32|signed integer (32 bits)|2|%|%",
      f + "|7|OFF|" + tail + "FE|FUNCTION ENTRY||%|%",
      f + "|7|LOW|n" + tail + "i32|signed integer (32 bits)|1|%|%",
      f + "|7|OFF|" + tail + "FE|FUNCTION ENTRY||%|%",
      f + "|7|LOW|n" + tail + "i32|signed integer (32 bits)|0|%|%",
      f + "|7|OFF|" + tail + "FX|FUNCTION EXIT||%|%",
      f + "|7|OFF|" + tail + "FX|FUNCTION EXIT||%|%",
      f + "|7|OFF|" + tail + "FX|FUNCTION EXIT||%|%",
      "main|3|MED|text" + tail + "cpsz|C string|\"hello\"|%|%",
      "main|3|HIGH|i8" + tail + "i8|signed integer (8 bits)|0x41/65/'A'|%|%",
      "main|3|HIGH|ptr" + tail + "p|Address|0x1234|%|%",
  };
  for (size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(lines[i], expected[i]) << i;
  EXPECT_GT(reader.getCompressionRate(), 0.0);
  EXPECT_LT(reader.getCompressionRate(), 1.0);
  remove(file.c_str());
}

TEST(TraceInstance, InactiveTraceKeepsThePointerNullAndWritesNothing) {
  std::string key = newKey();
  std::string file = tempDir() + "/" + key + ".trc";
  remove(file.c_str());
  int rc = inChild([&] {
    setenv((upper(key) + "_TRACE_FILE").c_str(), file.c_str(), 1);
    CosClTraceInstance* inst = CosClTraceInstance::createInstance(key.c_str(), nullptr);
    if (inst == nullptr || gs_pclCosTraceInstance != nullptr) return 1;
    if (inst->isActive() || inst->isEnabled() || inst->enable()) return 2;
    traced(3);
    // A guard built while disabled writes no exit record either, even when
    // tracing is enabled before it ends.
    {
      CosClTrace guard(CosEnTraceDetail::LOW, 1, "early");
      inst->activate();
      if (!inst->enable() || gs_pclCosTraceInstance != inst) return 3;
    }
    { CosClTrace later(CosEnTraceDetail::LOW, 1, "late"); }
    inst->disable();  // flushes
    if (gs_pclCosTraceInstance != nullptr) return 4;
    traced(1);
    return 0;
  });
  ASSERT_EQ(rc, 0);
  std::string fmtKey = newKey();
  CosClTraceEnvironment reader(fmtKey.c_str(), nullptr, true);
  std::vector<Written> back = readBack(reader, file);
  ASSERT_EQ(back.size(), 2u);  // entry and exit of "late" only
  EXPECT_EQ(back[0].function, "late");
  EXPECT_EQ(back[0].type, 1u);
  EXPECT_EQ(back[1].type, 2u);
  remove(file.c_str());

  // Fully off: no file at all.
  std::string key2 = newKey();
  std::string file2 = tempDir() + "/" + key2 + ".trc";
  remove(file2.c_str());
  rc = inChild([&] {
    setenv((upper(key2) + "_TRACE_FILE").c_str(), file2.c_str(), 1);
    cosTraceCreateInstance(key2.c_str(), nullptr);
    if (cosTraceIsEnabled()) return 1;
    traced(3);
    exit(0);  // the automatic destructor deletes the instance
    return 1;
  });
  ASSERT_EQ(rc, 0);
  EXPECT_NE(access(file2.c_str(), F_OK), 0);
}

TEST(TraceInstance, ExitFlushesAndLowFunctionRecordsPassDetailNone) {
  std::string key = newKey();
  std::string file = tempDir() + "/" + key + ".trc";
  remove(file.c_str());
  int rc = inChild([&] {
    setenv((upper(key) + "_TRACE_ACTIVE").c_str(), "1", 1);
    setenv((upper(key) + "_TRACE_FILE").c_str(), file.c_str(), 1);
    setenv((upper(key) + "_TRACE_DETAIL").c_str(), "none", 1);
    cosTraceCreateInstance(key.c_str(), nullptr);
    traced(0);  // entry and exit kept at detail 0; the LOW data record not
    int v = 1;
    cosTraceDump(CosEnTraceDetail::OFF, 0, CosEnTraceDataType::INT32, "x",
                 "kept", &v, 4);
    exit(0);  // no explicit delete: the process-exit action flushes
    return 1;
  });
  ASSERT_EQ(rc, 0);
  std::string fmtKey = newKey();
  CosClTraceEnvironment reader(fmtKey.c_str(), nullptr, true);
  std::vector<Written> back = readBack(reader, file);
  ASSERT_EQ(back.size(), 3u);
  EXPECT_EQ(back[0].type, 1u);
  EXPECT_EQ(back[0].detail, 0u);
  EXPECT_EQ(back[1].type, 2u);
  EXPECT_EQ(back[2].message, "kept");
  remove(file.c_str());
}

TEST(TraceInstance, UserCallbackReceivesTheRecords) {
  std::string key = newKey();
  int rc = inChild([&] {
    CosClTraceInstance* inst = cosTraceCreateInstance(key.c_str(), nullptr);
    static int calls = 0;
    inst->registerUserCallback(
        [](void* ctx, CosEnTraceDetail, uint16_t, CosEnTraceDataType,
           char const*, char const*, void const*, uint32_t) {
          if (ctx == &calls) ++calls;
        },
        &calls);
    if (inst->usesCosBackEnd()) return 1;
    inst->activate();
    inst->enable();
    traced(1);  // 2 entries, 2 data, 2 exits
    cosTraceDeleteInstance();
    return calls == 6 ? 0 : 2;
  });
  EXPECT_EQ(rc, 0);
}

TEST(TraceSettings, AutoclearRemovesTheFileUnlessController) {
  std::string key = newKey();
  std::string file = tempDir() + "/" + key + ".trc";
  EnvSet env(key);
  env.set("_TRACE_FILE", file.c_str());
  env.set("_TRACE_AUTOCLEAR", "true");
  { std::ofstream(file) << "old"; }
  { CosClTraceEnvironment controller(key.c_str(), nullptr, true); }
  EXPECT_EQ(readFile(file), "old");
  { CosClTraceEnvironment traced(key.c_str(), nullptr, false); }
  EXPECT_NE(access(file.c_str(), F_OK), 0);
}

TEST(TraceSettings, VerboseReportsSettingsAndWrites) {
  std::string key = newKey();
  std::string file = tempDir() + "/" + key + ".trc";
  std::string report = tempDir() + "/" + key + ".out";
  remove(file.c_str());
  int rc = inChild([&] {
    if (!freopen(report.c_str(), "w", stdout)) return 1;
    setenv((upper(key) + "_TRACE_ACTIVE").c_str(), "on", 1);
    setenv((upper(key) + "_TRACE_FILE").c_str(), file.c_str(), 1);
    setenv((upper(key) + "_TRACE_VERBOSE").c_str(), "yes", 1);
    cosTraceCreateInstance(key.c_str(), "inst");
    traced(0);
    cosTraceDeleteInstance();
    fflush(stdout);
    return 0;
  });
  ASSERT_EQ(rc, 0);
  std::string text = readFile(report);
  for (char const* expected :
       {"[COS: TRACE: active: 1]\n", "[COS: TRACE: autosave: 1]\n",
        "[COS: TRACE: buffersize: 65535]\n", "[COS: TRACE: sharedMemory: 0]\n"})
    EXPECT_NE(text.find(expected), std::string::npos) << expected;
  EXPECT_NE(text.find("[COS: TRACE: key: " + key + "]\n"), std::string::npos);
  EXPECT_NE(text.find("[COS: TRACE: resource key: ???:" + key + ":inst]\n"),
            std::string::npos);
  EXPECT_NE(text.find("[COS: TRACE: writing file: " + file + "]\n"), std::string::npos);
  EXPECT_NE(text.find("[COS: TRACE: bytes written: "), std::string::npos);
  remove(file.c_str());
  remove(report.c_str());
}
