// Decoding and skipping through one encoded position list (CVozBufferPos)
// of 1,000,000 documents (seed 42; 1-12 positions per document, id gaps
// 1-40, mostly one-byte position codes).
//   BM_DecodeAll          every document and every position, in order
//   BM_SkipDocs/stride:N  SkipDoc through the list with targets advancing
//                         by N * 20 ids (about N documents), reading the
//                         first position of each document found
// Reports documents/s: documents of the list passed over (decoded or
// skipped), 1,000,000 per pass; "found" counts the documents a skip
// returned per pass.  The counter "hash" folds the
// ids and positions read in one pass so that a fast but wrong reader
// shows.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "postings/voz_bufferpos.hpp"

namespace {

constexpr uint32_t kDocs = 1000000;

struct List {
    std::vector<uint8_t> stream;
    uint32_t lastDoc = 0;
    List() {
        std::mt19937 rng(42);
        uint32_t prev = 0xFFFFFFFF, doc = 0;
        std::vector<uint8_t> pos;
        for (uint32_t i = 0; i < kDocs; ++i) {
            doc += 1 + rng() % 40;
            pos.clear();
            uint32_t n = 1 + rng() % 12, last = 0, at = 0;
            for (uint32_t k = 0; k < n; ++k) {
                at += 1 + (rng() % 16 == 0 ? rng() % 5000 : rng() % 50);
                uint8_t code[8];
                uint32_t s = voz_PosCodeEncode(code, at - last);
                pos.insert(pos.end(), code, code + s);
                last = at;
            }
            uint8_t head[16];
            uint32_t h = voz_PosHeaderEncode(head, doc - prev, uint32_t(pos.size()));
            stream.insert(stream.end(), head, head + h);
            stream.insert(stream.end(), pos.begin(), pos.end());
            prev = doc;
        }
        lastDoc = doc;
    }
};

const List& TheList() {
    static List list;
    return list;
}

void Load(CVozBufferPos& buf, const List& list) {
    buf.Clear();
    std::memcpy(buf.Request(uint32_t(list.stream.size())), list.stream.data(),
                list.stream.size());
    buf.iv_docCount = kDocs;
    buf.iv_lastDoc = list.lastDoc;
}

void BM_DecodeAll(benchmark::State& state) {
    const List& list = TheList();
    CVozBufferPos buf;
    uint64_t hash = 0, docs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Load(buf, list);
        hash = 0;
        state.ResumeTiming();
        uint32_t target = 0;
        while (true) {
            uint32_t id = buf.SkipDoc(target);
            if (id == VOZ_POS_NO_DOC) break;
            uint8_t done = 0;
            while (!done) {
                int32_t p = buf.SkipPosNext(0, done);
                if (p == VOZ_POS_NO_POS) break;
                hash = hash * 31 + uint32_t(p);
            }
            hash += id;
            ++docs;
            target = id + 1;
        }
    }
    state.counters["hash"] = double(hash % 1000000007);
    state.SetItemsProcessed(int64_t(docs));
}
BENCHMARK(BM_DecodeAll)->Unit(benchmark::kMillisecond);

// (Pin points hold 16-bit offsets: they serve lists of a slot, not a
// stream of this length, so the skips here walk the headers.)
void BM_SkipDocs(benchmark::State& state) {
    const List& list = TheList();
    CVozBufferPos buf;
    uint32_t step = uint32_t(state.range(0)) * 20;
    uint64_t hash = 0, docs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Load(buf, list);
        hash = 0;
        state.ResumeTiming();
        for (uint32_t target = 1;; target += step) {
            uint32_t id = buf.SkipDoc(target);
            if (id == VOZ_POS_NO_DOC) break;
            hash = hash * 31 + id + uint32_t(buf.SkipPos(0));
            ++docs;
        }
    }
    state.counters["hash"] = double(hash % 1000000007);
    state.counters["found"] = double(docs) / double(state.iterations());
    state.SetItemsProcessed(int64_t(state.iterations()) * kDocs);
}

BENCHMARK(BM_SkipDocs)->ArgName("stride")->Arg(1)->Arg(10)->Arg(1000)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
