// The document-model store: the two files byte for byte, lazy loading,
// defaults, refusals, a damaged directory, escaped names and kills during
// an add.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <string>

#include "dl_test_util.hpp"
#include "itl_documentmodel.hpp"
#include "itl_documentmodels.hpp"
#include "itl_error.hpp"
#include "itl_file_util.hpp"
#include "itl_index_location.hpp"
#include "ti_test_util.hpp"

namespace {

char const kHead[] = "<?xml version=\"1.0\"?> <ModelDirectory>\n";
char const kTail[] = "</ModelDirectory>\n";

// A GPP definition of exactly `size` bytes (padding blanks before the end);
// a null field gives a model without items.
std::string gppOfSize(size_t size, char const* field = "f") {
  std::string s = "<GPPModel>";
  if (field != nullptr)
    s = s + "<GPPFieldDefinition name='" + field + "' start='[x]' end='[/x]'/>";
  std::string end = "</GPPModel>";
  EXPECT_LE(s.size() + end.size(), size);
  s.append(size - s.size() - end.size(), ' ');
  return s + end;
}

std::string html(char const* field = "t") {
  return std::string("<HTMLModel><HTMLFieldDefinition name='") + field +
         "' tag='title'/></HTMLModel>";
}

class Store : public ::testing::Test {
 protected:
  Store() : dir("dms"), location("idx", dir.path().c_str()) {}

  std::string mox() const { return dir / "idx.mox"; }
  std::string mdx() const { return dir / "idx.mdx"; }

  void add(ItlClDocumentModels& s, char const* name, std::string const& text) {
    try {
      s.add(name, text.data(), static_cast<unsigned>(text.size()));
    } catch (ItlClException const& e) {
      ADD_FAILURE() << "add " << name << ": " << e.getReasonCode() << " "
                    << e.getContext() << " " << e.getSourceFile();
      throw;
    }
  }
  // A fresh store over the same files, initialised.
  std::unique_ptr<ItlClDocumentModels> reopen() {
    auto s = std::make_unique<ItlClDocumentModels>(location, info);
    s->onIndexFileInit();
    return s;
  }

  TempDir dir;
  ItlClIndexLocation location;
  ItlClErrorInfo info;
};

TEST_F(Store, CreateWritesAnEmptyModelFileAndATwoLineDirectory) {
  ItlClDocumentModels s(location, info);
  s.onIndexFileCreate();
  EXPECT_EQ(readFile(mox()), "");
  EXPECT_EQ(readFile(mdx()), std::string(kHead) + kTail);
  struct stat st;
  ASSERT_EQ(stat(mox().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0660u);  // whatever the umask
  EXPECT_FALSE(exists(dir / "idx.mdx$"));
}

TEST_F(Store, DirectoryOfTwoModelsWithADefault) {
  ItlClDocumentModels s(location, info);
  s.onIndexFileCreate();
  std::string m1 = gppOfSize(120);
  add(s, "m1", m1);
  add(s, "m2", html());
  s.setDefaultModel("m1", ItlEnDocumentFormat_Structured);
  EXPECT_EQ(readFile(mdx()),
            std::string(kHead) +
                "<ModelEntry name=\"m1\" type=\"GPP\" offset=\"0\" "
                "isdefault=\"1\"/>\n"
                "<ModelEntry name=\"m2\" type=\"HTML\" offset=\"120\"/>\n" +
                kTail);
  EXPECT_EQ(readFile(mox()), m1 + html());
  // A new model never becomes a default by itself.
  EXPECT_EQ(s.getDocumentModel(nullptr, ItlEnDocumentFormat_Html), nullptr);

  auto r = reopen();
  ASSERT_EQ(r->getModelCount(), 2);
  // The default is parsed on init, the other model only when asked for.
  EXPECT_TRUE(r->getModelAt(0)->isLoaded());
  EXPECT_FALSE(r->getModelAt(1)->isLoaded());
  EXPECT_EQ(r->getDocumentModel(nullptr, ItlEnDocumentFormat_Structured),
            r->getModelAt(0));
  ItlClDocumentModelABase* m2 =
      r->getDocumentModel("m2", ItlEnDocumentFormat_Html);
  EXPECT_TRUE(m2->isLoaded());
  EXPECT_EQ(m2->getItemCount(), 1);
  // TEXT asks for the XML default, of which there is none.
  EXPECT_EQ(r->getDocumentModel(nullptr, ItlEnDocumentFormat_Text), nullptr);

  r->resetDefaultModel(ItlEnDocumentFormat_Structured);
  EXPECT_EQ(readFile(mdx()).find("isdefault"), std::string::npos);
  Caught c = catchItl([&] { r->resetDefaultModel(ItlEnDocumentFormat_Text); });
  EXPECT_EQ(c.reason, 25);
  EXPECT_EQ(c.context, "Document format: 100000");
}

TEST_F(Store, LazyLoadReadsItsOwnBytes) {
  ItlClDocumentModels s(location, info);
  s.onIndexFileCreate();
  add(s, "a", gppOfSize(100, "first"));
  add(s, "b", gppOfSize(50, nullptr));
  EXPECT_EQ(readFile(mox()).size(), 150u);
  auto r = reopen();
  EXPECT_EQ(r->getModelOffset(0), 0u);
  EXPECT_EQ(r->getModelOffset(1), 100u);
  EXPECT_EQ(r->getModelFileSize(), 150u);
  // Any other range than 100..149 would not parse.
  ItlClDocumentModelABase* b =
      r->getDocumentModel("b", ItlEnDocumentFormat_Structured);
  EXPECT_TRUE(b->isLoaded());
  EXPECT_EQ(b->getItemCount(), 0);
  EXPECT_FALSE(r->getModelAt(0)->isLoaded());
  EXPECT_STREQ(r->getDocumentModel("a", ItlEnDocumentFormat_Structured)
                   ->getItem(0)
                   ->getName(),
               "first");
  EXPECT_EQ(catchItl([&] {
              r->getDocumentModel("b", ItlEnDocumentFormat_Html);
            }).reason,
            202);
}

TEST_F(Store, RefusedAddsLeaveBothFilesAsTheyWere) {
  ItlClDocumentModels s(location, info);
  s.onIndexFileCreate();
  add(s, "m", gppOfSize(80));
  add(s, "m", html());  // same name, other format
  std::string moxBefore = readFile(mox()), mdxBefore = readFile(mdx());
  struct Case {
    char const* name;
    std::string text;
    int reason;
  } const cases[] = {
      {"m", gppOfSize(90), 203},
      {"x", "no markup", 209},
      {"x", "<?xml version='1.0'?><!-- c --><Other/>", 209},
      {"x", std::string(1100, ' ') + "<GPPModel/>", 209},
      {"x", "<XMLModel><Bad/></XMLModel>", 209},
      {"x", "<GPPModel><Bad/></GPPModel>", 209},
      {"x", "<GPPModel><GPPFieldDefinition", 0},  // not well-formed: 6xx
      {"a\tb", gppOfSize(80), 200},
      {"\xC3", gppOfSize(80), 200},
      {"\xED\xA0\x80", gppOfSize(80), 200},
  };
  for (auto const& c : cases) {
    Caught got = catchItl([&] {
      s.add(c.name, c.text.data(), static_cast<unsigned>(c.text.size()));
    });
    if (c.reason == 0) {
      EXPECT_GE(got.reason, 600) << c.text;
      EXPECT_NE(got.context.find("Syntax error at (row, column): ("),
                std::string::npos);
    } else {
      EXPECT_EQ(got.reason, c.reason) << c.text;
    }
    EXPECT_EQ(readFile(mox()), moxBefore);
    EXPECT_EQ(readFile(mdx()), mdxBefore);
    EXPECT_EQ(s.getModelCount(), 2);
  }
  // A definition after an XML declaration and a comment is found.
  add(s, "d", "<?xml version='1.0'?><!-- c --><GPPModel/>");
  EXPECT_EQ(s.getModelCount(), 3);
}

TEST_F(Store, NamesAreEscapedAndSurviveAReload) {
  ItlClDocumentModels s(location, info);
  s.onIndexFileCreate();
  add(s, "a\"b&<c", html());
  add(s, "caf\xC3\xA9", html());
  EXPECT_NE(readFile(mdx()).find("name=\"a&quot;b&amp;&lt;c\""),
            std::string::npos);
  auto r = reopen();
  EXPECT_EQ(r->getDocumentModel("a\"b&<c", ItlEnDocumentFormat_Html)
                ->getItemCount(),
            1);
  EXPECT_EQ(r->getModelCount(), 2);
  EXPECT_STREQ(r->getModelAt(1)->getName(), "caf\xC3\xA9");
}

TEST_F(Store, ABadEntryIsRecordedAndTheEntriesBeforeItKept) {
  std::string body = gppOfSize(80) + html() + html("z");
  std::string last = std::to_string(80 + html().size());
  ASSERT_TRUE(writeFile(mox(), body));
  struct Case {
    std::string bad;
    bool recorded;
  } const cases[] = {
      {"<ModelEntry name=\"b\" type=\"HTML\" offset=\"-1\"/>", true},
      {"<ModelEntry name=\"b\" type=\"HTML\" offset=\"80\" isdefault=\"0\"/>",
       true},
      {"<ModelEntry name=\"b\" type=\"Q\" offset=\"80\"/>", true},
      {"<ModelEntry name=\"b\" offset=\"80\"/>", true},
      {"<ModelEntry name=\"b\" type=\"H\" offset=\"80\" x=\"1\"/>", true},
      {"<Other/>", true},
      {"<ModelEntry name=\"b\" type=\"X\" offset=\"80\"/>", false},
      {"<ModelEntry name=\"b\" type=\"Hyper\" offset=\" 80\"/>", false},
  };
  for (auto const& c : cases) {
    ASSERT_TRUE(writeFile(
        mdx(), std::string(kHead) +
                   "<ModelEntry name=\"a\" type=\"Gx\" offset=\"0\"/>\n" +
                   c.bad + "\n<ModelEntry name=\"c\" type=\"H\" offset=\"" + last +
                   "\"/>\n" +
                   kTail));
    ItlClErrorInfo fresh;
    ItlClDocumentModels s(location, fresh);
    s.onIndexFileInit();
    EXPECT_STREQ(s.getModelAt(0)->getName(), "a");
    if (c.recorded) {
      EXPECT_EQ(s.getModelCount(), 1) << c.bad;
      EXPECT_TRUE(fresh.getReasonCode() == 213 || fresh.getReasonCode() == 13)
          << c.bad << " " << fresh.getReasonCode();
    } else {
      // Read leniently: type "Hyper" is HTML, " 60" is 60.
      EXPECT_EQ(s.getModelCount(), 3) << c.bad;
      EXPECT_EQ(fresh.getReasonCode(), 0);
      EXPECT_STREQ(s.getDocumentModel("c", ItlEnDocumentFormat_Html)
                       ->getItem(0)
                       ->getName(),
                   "z");
    }
  }
}

TEST_F(Store, ANotWellFormedDirectoryFailsTheLoad) {
  ASSERT_TRUE(writeFile(mox(), ""));
  ASSERT_TRUE(writeFile(mdx(), std::string(kHead) + "<ModelEntry name=\"a\"b\""));
  ItlClDocumentModels s(location, info);
  Caught c = catchItl([&] { s.onIndexFileInit(); });
  EXPECT_GE(c.reason, 600);
  EXPECT_LE(c.reason, 622);
  // No directory: an empty store. The directory is looked for at init.
  ItlClDocumentModels t(location, info);
  ASSERT_EQ(unlink(mdx().c_str()), 0);
  t.onIndexFileInit();
  EXPECT_EQ(t.getModelCount(), 0);
  // The model file missing while the directory is there: 17.
  ItlClDocumentModels u(location, info);
  ASSERT_TRUE(writeFile(mdx(), std::string(kHead) + kTail));
  ASSERT_EQ(unlink(mox().c_str()), 0);
  EXPECT_EQ(catchItl([&] { u.onIndexFileInit(); }).reason, 17);
}

TEST_F(Store, TwoDefaultsOfOneFormatTheLaterWins) {
  ASSERT_TRUE(writeFile(mox(), html("one") + html("two")));
  ASSERT_TRUE(writeFile(
      mdx(), std::string(kHead) +
                 "<ModelEntry name=\"a\" type=\"HTML\" offset=\"0\" isdefault=\"1\"/>"
                 "<ModelEntry offset=\"" + std::to_string(html("one").size()) +
                 "\" isdefault=\"1x\" type=\"HTML\" name=\"b\"/>" + kTail));
  ItlClDocumentModels s(location, info);
  s.onIndexFileInit();
  ItlClDocumentModelABase* d =
      s.getDocumentModel(nullptr, ItlEnDocumentFormat_Html);
  ASSERT_NE(d, nullptr);
  EXPECT_STREQ(d->getName(), "b");
  EXPECT_STREQ(d->getItem(0)->getName(), "two");
}

TEST_F(Store, DestroyRenameCopyMove) {
  ItlClDocumentModels s(location, info);
  s.onIndexFileCreate();
  add(s, "m", html());
  TempDir other("dms_other");
  s.onIndexFileCopy(other.path().c_str());
  EXPECT_EQ(readFile(other / "idx.mox"), html());
  EXPECT_EQ(readFile(other / "idx.mdx"), readFile(mdx()));
  s.onIndexFileRename("new");
  EXPECT_FALSE(exists(mox()));
  EXPECT_EQ(readFile(dir / "new.mox"), html());
  location.setIndexName("new");
  // The stream was closed; a lazy load of a listed model reopens it.
  auto r = reopen();
  EXPECT_EQ(r->getDocumentModel("m", ItlEnDocumentFormat_Html)->getItemCount(),
            1);
  r->onIndexFileDestroy();
  EXPECT_FALSE(exists(dir / "new.mox"));
  EXPECT_FALSE(exists(dir / "new.mdx"));
  EXPECT_EQ(r->getModelCount(), 0);
}

// The kill hook: SIGKILL before operation number g_killAt.
int g_operations = 0;
int g_killAt = 0;
int killAtOperation(char const*, char const*) {
  if (++g_operations == g_killAt) kill(getpid(), SIGKILL);
  return 0;
}
int refuseAtOperation(char const*, char const*) {
  return ++g_operations == g_killAt ? 1 : 0;
}

TEST_F(Store, AKillOrAFailureDuringAnAddSpoilsNoEarlierModel) {
  std::string third = gppOfSize(90, "third");
  for (int refuse = 0; refuse < 2; ++refuse) {
    for (int k = 1;; ++k) {
      {
        ItlClDocumentModels s(location, info);
        s.onIndexFileCreate();
        add(s, "a", gppOfSize(80, "first"));
        add(s, "b", html("second"));
        s.setDefaultModel("a", ItlEnDocumentFormat_Structured);
      }
      bool finished = false;
      if (refuse == 0) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
          ItlClDocumentModels s(location, info);
          s.onIndexFileInit();
          g_operations = 0;
          g_killAt = k;
          itlSetFileOpTestHook(killAtOperation);
          try {
            add(s, "c", third);
          } catch (...) {
            _exit(3);
          }
          _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        finished = WIFEXITED(status);
        if (finished) {
          EXPECT_EQ(WEXITSTATUS(status), 0);
        }
      } else {
        ItlClDocumentModels s(location, info);
        s.onIndexFileInit();
        g_operations = 0;
        g_killAt = k;
        itlSetFileOpTestHook(refuseAtOperation);
        Caught c = catchItl([&] {
          s.add("c", third.data(), static_cast<unsigned>(third.size()));
        });
        itlSetFileOpTestHook(nullptr);
        finished = c.reason == -1;
        if (!finished) {
          EXPECT_EQ(s.getModelCount(), 2);
          // A later add on the same store still works.
          add(s, "d", html("fourth"));
        }
      }
      std::string what = (refuse ? "refused" : "killed") +
                          std::string(" at operation ") + std::to_string(k);
      auto r = reopen();
      EXPECT_EQ(r->getDocumentModel("a", ItlEnDocumentFormat_Structured)
                    ->getItem(0)
                    ->getName(),
                std::string("first"))
          << what;
      EXPECT_EQ(r->getDocumentModel(nullptr, ItlEnDocumentFormat_Structured),
                r->getModelAt(0))
          << what;
      EXPECT_STREQ(r->getDocumentModel("b", ItlEnDocumentFormat_Html)
                       ->getItem(0)
                       ->getName(),
                   "second")
          << what;
      unsigned short n = r->getModelCount();
      if (finished) {
        ASSERT_EQ(n, 3) << what;
        EXPECT_STREQ(r->getDocumentModel("c", ItlEnDocumentFormat_Structured)
                         ->getItem(0)
                         ->getName(),
                     "third");
        EXPECT_GE(k, 5) << what;
        break;
      }
      // An unfinished add is either not listed or listed whole.
      if (refuse == 0 && n == 3) {
        EXPECT_EQ(r->getDocumentModel("c", ItlEnDocumentFormat_Structured)
                      ->getItemCount(),
                  1)
            << what;
      }
      ASSERT_LT(k, 20);
    }
  }
}

// Kills at random moments: a child adds models one after the other until
// it is killed; every model listed afterwards loads whole, and the earlier
// ones are untouched.
TEST_F(Store, AKillAtARandomMomentOfAddsSpoilsNoListedModel) {
  std::mt19937 rng(testSeed());
  for (int round = 0; round < 15; ++round) {
    {
      ItlClDocumentModels s(location, info);
      s.onIndexFileCreate();
      add(s, "a", gppOfSize(80, "first"));
      add(s, "b", html("second"));
    }
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ItlClDocumentModels s(location, info);
      s.onIndexFileInit();
      try {
        for (int i = 0; i < 100000; ++i)
          add(s, ("c" + std::to_string(i)).c_str(), gppOfSize(90, "third"));
      } catch (...) {
        _exit(3);
      }
      _exit(0);
    }
    usleep(rng() % 20000);
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    auto r = reopen();
    std::string what = "round " + std::to_string(round);
    EXPECT_EQ(r->getDocumentModel("a", ItlEnDocumentFormat_Structured)
                  ->getItem(0)
                  ->getName(),
              std::string("first"))
        << what;
    EXPECT_STREQ(
        r->getDocumentModel("b", ItlEnDocumentFormat_Html)->getItem(0)->getName(),
        "second")
        << what;
    unsigned short n = r->getModelCount();
    ASSERT_GE(n, 2) << what;
    // The child adds c0, c1, ... in order: those listed load whole.
    for (unsigned short i = 0; i + 2 < n; ++i) {
      auto* m = r->getDocumentModel(("c" + std::to_string(i)).c_str(),
                                    ItlEnDocumentFormat_Structured);
      ASSERT_NE(m, nullptr) << what << ", model c" << i;
      EXPECT_EQ(m->getItemCount(), 1) << what << ", model c" << i;
    }
    r->onIndexFileDestroy();
  }
}

TEST_F(Store, DetectFormat) {
  ItlClDocumentModels s(location, info);
  struct Case {
    std::string text;
    int format;  // 0: refused with 209
  } const cases[] = {
      {"<GPPModel/>", 100003},
      {"<HTMx/>", 100001},
      {"<XMLish/>", 100002},
      {"<INSOModel/>", 100004},
      {"<?xml version='1.0'?>\n<!-- x --><GPPModel/>", 100003},
      {"<!DOCTYPE a><HTMLModel/>", 100001},
      {"<?x?>", 0},
      {"<GP", 0},
      {"", 0},
      {"<Model/>", 0},
      {std::string(1020, ' ') + "<GPPModel/>", 100003},
      {std::string(1022, ' ') + "<GPPModel/>", 0},
  };
  for (auto const& c : cases) {
    ExactBytes bytes(c.text);
    ItlEnDocumentFormat f = ItlEnDocumentFormat_Text;
    Caught got = catchItl([&] { s.detectFormat(bytes.data(), bytes.size(), f); });
    if (c.format == 0) {
      EXPECT_EQ(got.reason, 209) << c.text;
    } else {
      EXPECT_EQ(got.reason, -1) << c.text;
      EXPECT_EQ(f, c.format) << c.text;
    }
  }
  EXPECT_STREQ(ItlClDocumentModels::getFormatAsString(ItlEnDocumentFormat_Structured),
               "STRUCTURED");
  EXPECT_STREQ(ItlClDocumentModels::getFormatAsString(
                   static_cast<ItlEnDocumentFormat>(7)),
               "");
}

}  // namespace
