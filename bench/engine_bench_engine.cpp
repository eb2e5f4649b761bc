// engine_bench_engine.cpp -- the engine as a system of bench/engine_bench:
// indexing through the update cycle (GTRcreateIndexInit, one
// GTRcreateIndexOneDoc per document, GTRcreateIndexLast, GTRcreateIndexTerm
// 'G'), queries as query text through GTRsearchIndex with a kept search
// handle (warm) or a new one each time (cold), answers read back through
// the result-handle calls.
//
// Index options (the settings for word search on Latin text): code page 34
// (UTF-8), text sub-index only (purpose 1), word rule 1 (runs of letters and
// digits are words; what lies between them is indexed as 2-grams), 2-grams,
// sub-type 3, default block choices, no stop words, disable bit 0 (case is
// not respected: words are case-folded when indexed and searched), sentence
// ends recorded. Every document carries one field, number 1, over its whole
// text, so that a word restricted to it finds what the word finds.
//
// Answers are asked in the document-only form (res_dataform 2): the bench
// collects document numbers, as the peers do.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine_bench.hpp"
#include "calls/voz_gtrcreate.hpp"
#include "calls/voz_gtrresult.hpp"
#include "calls/voz_gtrsearch.hpp"
#include "files/voz_records.hpp"

namespace ebench {
namespace {

namespace fs = std::filesystem;

std::string statusText(const char* what, const GTRSTATUS& st) {
    return std::string(what) + " " + std::to_string(st.retcode) + "/" +
           std::to_string(st.errcode);
}

GTRHCREATEPARM createParm() {
    GTRHCREATEPARM p;
    memset(&p, 0, sizeof p);
    p.index_type = 2;
    p.codepage = 34;
    p.index_purpose = 1;
    p.word_rule = 1;
    p.disable = 1;  // case is not respected: words are folded when indexed
    p.index_subtype = 3;
    p.block_threshold = -1;
    p.block_size = -1;
    return p;
}

GTRSYSPARM sysParm() {
    GTRSYSPARM s;
    memset(&s, 0, sizeof s);
    s.poolsize = 64 << 20;
    s.poolsizedelta = 8 << 20;
    s.displaylog = 'N';
    return s;
}

// The query text of `q` (see engine_bench.hpp for the classes).
std::string queryText(const Query& q) {
    const std::vector<std::string>& w = q.words;
    auto join = [&](const char* op) {
        std::string t;
        for (size_t i = 0; i < w.size(); ++i) t += (i ? op : "") + w[i];
        return t;
    };
    if (q.cls == "and") return join(" * ");
    if (q.cls == "or" || q.cls == "top10") return join(" + ");
    if (q.cls == "not") return join(" - ");
    if (q.cls == "dist5") return join(" *5 ");
    if (q.cls == "sent") return join(" *0 ");
    if (q.cls == "field") return w[0] + "@F1";
    // Mask characters act only with the '_' of the precision option.
    if (q.cls == "prefix") return w[0] + "*%_100";
    if (q.cls == "suffix") return "*" + w[0] + "%_100";
    if (q.cls == "fuzzy") return w[0] + "%80";
    return w[0];
}

class Engine : public System {
public:
    explicit Engine(const EngineSettings& s) : settings_(s) {}
    ~Engine() override { release(); }
    const char* name() const override { return "engine"; }
    bool hasCold() const override { return true; }

    BuildFigures build(const std::vector<Doc>& docs,
                       const std::string& dir) override {
        BuildFigures f;
        out_ = dir + "/out";
        work_ = dir + "/work";
        fs::create_directories(out_);
        fs::create_directories(work_);
        GTRSTATUS st{};
        const auto t0 = Clock::now();
        void* h = start(settings_.buildOperation, &st);
        for (size_t i = 0; i < docs.size() && st.retcode == 0; ++i)
            add(h, docs[i].text, static_cast<int32_t>(i + 1), &st);
        f.feedSec = secondsSince(t0);
        const auto t1 = Clock::now();
        if (st.retcode == 0) GTRcreateIndexLast(h, &st);
        if (st.retcode == 0) GTRcreateIndexTerm(h, 'G', &st);
        f.finishSec = secondsSince(t1);
        if (st.retcode != 0) {
            f.error = statusText("build", st);
            return f;
        }
        f.indexBytes = treeBytes(out_);
        f.ok = true;
        return f;
    }

    bool open() override { return true; }  // the first search opens it

    // The commit is GTRcreateIndexTerm 'G'; GTRcreateIndexLast, which
    // writes the new documents into the index's files, comes before it.
    void update(const std::vector<Doc>& docs, int32_t firstNo,
                CommitFigures* c) override {
        GTRSTATUS st{};
        release();  // an update does not run beside a kept search handle
        void* h = start('A', &st);
        for (size_t i = 0; i < docs.size() && st.retcode == 0; ++i)
            add(h, docs[i].text, firstNo + static_cast<int32_t>(i), &st);
        if (st.retcode == 0) GTRcreateIndexLast(h, &st);
        if (st.retcode != 0) return;
        c->time([&] {
            GTRcreateIndexTerm(h, 'G', &st);
            return st.retcode == 0;
        });
    }

    bool run(const Query& q, bool cold, std::vector<int32_t>* found,
             std::string* error) override {
        std::string text = queryText(q);
        GTRSEARCH_COND c;
        memset(&c, 0, sizeof c);
        c.codepage = 34;
        c.cond_type = GTR_COND_QUERY;
        c.query = &text[0];
        GTRSEARCH_RES r;
        memset(&r, 0, sizeof r);
        r.res_type = q.cls == "top10" ? GTR_RES_NONE : GTR_RES_HANDLE;
        r.res_dataform = 2;  // documents only
        // Memory results up to 64 MB before they spill to the work folder
        // (the default is 4 KB), as the peers keep their answers in memory.
        r.res_handle_memory = 64 << 20;
        GTRSEARCH_RANK rank;
        memset(&rank, 0, sizeof rank);
        GTRRANKDOC best[10];
        memset(best, 0, sizeof best);
        if (q.cls == "top10") {
            rank.rankcount = 10;
            rank.rankdoc = best;
            rank.weight_option = 0x01;
        }
        GTRSTATUS st{};
        void* local = nullptr;
        void** handle = cold ? &local : &handle_;
        GTRsearchIndex(handle, "idx", out_.c_str(), work_.c_str(), c,
                       q.cls == "top10" ? &rank : nullptr, nullptr, nullptr,
                       &r, &st);
        found->clear();
        if (st.retcode == 0 && q.cls == "top10") {
            const int32_t n = std::min<int32_t>(r.result_docnum, 10);
            for (int32_t i = 0; i < n; ++i) found->push_back(best[i].docno);
        } else if (st.retcode == 0) {
            readDocs(r.res_handle, found, &st);
        }
        if (r.res_handle != nullptr) {
            GTRSTATUS rs{};
            GTRsearchIndex_ReleaseResult(r.res_handle, &rs);
        }
        if (cold) {
            GTRSTATUS rs{};
            GTRsearchIndex_Release(&local, &rs);
        }
        if (st.retcode != 0) *error = statusText(text.c_str(), st);
        return st.retcode == 0;
    }

private:
    void* start(char op, GTRSTATUS* st) {
        GTRHCREATEPARM p = settings_.create;
        GTRSYSPARM sys = settings_.system;
        int32_t maxDoc = 0;
        void* h = nullptr;
        GTRcreateIndexInit(&h, "idx", out_.c_str(), work_.c_str(), op,
                           settings_.mode, &p, &sys, &maxDoc, st);
        return h;
    }

    static void add(void* h, const std::string& text, int32_t docno,
                    GTRSTATUS* st) {
        int32_t startPos = 0;
        uint8_t* base = reinterpret_cast<uint8_t*>(const_cast<char*>(text.data()));
        FLDBOUNDARYINFO field;
        memset(&field, 0, sizeof field);
        field.fld_number = 1;
        field.fld_start_ptr = base;
        field.fld_end_ptr = base + text.size();
        BOUNDARYINFO bounds;
        memset(&bounds, 0, sizeof bounds);
        bounds.fld_boundary_num = 1;
        bounds.fld_boundary = &field;
        GTRcreateIndexOneDoc(h, base, static_cast<int32_t>(text.size()), docno,
                             &startPos, &bounds, st);
    }

    // The document numbers of a memory result, in its order.
    static void readDocs(void* res, std::vector<int32_t>* found,
                         GTRSTATUS* st) {
        if (res == nullptr) return;  // no occurrences: no handle
        GTRsearchIndex_OpenResult(res, nullptr, st);
        while (st->retcode == 0) {
            OCC* e = nullptr;
            int32_t n = 0;
            GTRsearchIndex_LookResult_Doc(res, -1, &e, &n, nullptr, nullptr, st);
            if (st->retcode != 0) break;
            if (n > 0) found->push_back(e[0].docno);
        }
        if (st->retcode == 123) *st = GTRSTATUS{};
        GTRSTATUS cs{};
        GTRsearchIndex_CloseResult(res, nullptr, &cs);
        std::sort(found->begin(), found->end());
    }

    void release() {
        GTRSTATUS st{};
        if (handle_ != nullptr) GTRsearchIndex_Release(&handle_, &st);
    }

    EngineSettings settings_;
    std::string out_, work_;
    void* handle_ = nullptr;
};

}  // namespace

EngineSettings engineBenchSettings() {
    EngineSettings s;
    s.create = createParm();
    s.system = sysParm();
    return s;
}

std::unique_ptr<System> makeEngine() { return makeEngine(engineBenchSettings()); }

std::unique_ptr<System> makeEngine(const EngineSettings& s) {
    return std::make_unique<Engine>(s);
}

}  // namespace ebench
