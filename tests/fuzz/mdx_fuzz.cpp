// Fuzz target: the model directory of a document-model store. The input is
// the directory file; the model file holds a GPP and an HTML definition.
// The store is initialised and every listed model asked for. Failures must
// be index-library or cos exceptions; what loads keeps rising offsets
// below the model file's size.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "cos_exception.hpp"
#include "fuzz_input.hpp"
#include "itl_documentmodel.hpp"
#include "itl_documentmodels.hpp"
#include "itl_error.hpp"
#include "itl_index_location.hpp"

namespace {

std::string const kModels =
    "<GPPModel><GPPFieldDefinition name='f' start='[x]' end='[/x]'/>"
    "</GPPModel><HTMLModel><HTMLFieldDefinition name='t' tag='title'/>"
    "</HTMLModel>";

std::string const& folder() {
  static std::string dir = [] {
    char tmpl[] = "/tmp/mdx_fuzz.XXXXXX";
    char const* made = mkdtemp(tmpl);
    if (made == nullptr) std::abort();
    std::string d = made;
    std::atexit([] {
      std::remove((folder() + "/i.mox").c_str());
      std::remove((folder() + "/i.mdx").c_str());
      rmdir(folder().c_str());
    });
    return d;
  }();
  return dir;
}

void writeAll(std::string const& path, uint8_t const* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (size != 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  std::string const& dir = folder();
  writeAll(dir + "/i.mox", reinterpret_cast<uint8_t const*>(kModels.data()),
           kModels.size());
  writeAll(dir + "/i.mdx", data, size);
  ItlClIndexLocation location("i", dir.c_str());
  ItlClErrorInfo info;
  ItlClDocumentModels store(location, info);
  try {
    store.onIndexFileInit();
  } catch (ItlClException const& e) {
    (void)e.getContext();
    return 0;
  } catch (CosClException const&) {
    return 0;
  }
  for (unsigned short i = 0; i < store.getModelCount(); ++i) {
    FUZZ_CHECK(store.getModelOffset(i) < store.getModelFileSize());
    if (i != 0) FUZZ_CHECK(store.getModelOffset(i - 1) < store.getModelOffset(i));
    ItlClDocumentModelABase* m = store.getModelAt(i);
    try {
      ItlClDocumentModelABase* got =
          store.getDocumentModel(m->getName(), m->getFormat());
      FUZZ_CHECK(got->isLoaded());
    } catch (ItlClException const& e) {
      (void)e.getContext();
    } catch (CosClException const&) {
    }
  }
  return 0;
}
