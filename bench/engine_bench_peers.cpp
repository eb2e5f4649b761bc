// engine_bench_peers.cpp -- the comparison points of bench/engine_bench:
// SQLite FTS5 (built with ENGINE_BENCH_FTS5) and Xapian (built with
// ENGINE_BENCH_XAPIAN). Both index the documents under the numbers 1..N in
// corpus order, in one transaction, with their default tokenisers and no
// stemming.
//
// Query forms:
//   FTS5    "a" AND "b", OR, NOT, NEAR("a" "b", 5), "pre"*; ranked by its
//           bm25 ("ORDER BY rank LIMIT 10").
//   Xapian  OP_AND, OP_OR, OP_AND_NOT, OP_NEAR with a window of 7
//           positions (at most 5 words between), OP_WILDCARD; ranked by its
//           BM25 (get_mset(0, 10)); unranked queries with BoolWeight.
// Neither has a sentence operator (class sent is not run; nor is class
// field, whose documents carry fields only in the engine), a leading mask
// or a fuzzy match: those two are expanded over the system's own
// vocabulary, read once after the open (the expansion is timed with the
// query): every term ending in the suffix, every term whose Levenshtein
// similarity to the word is at least 80 %, OR-ed.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "engine_bench.hpp"

#ifdef ENGINE_BENCH_FTS5
#include <sqlite3.h>
#endif
#ifdef ENGINE_BENCH_XAPIAN
#include <xapian.h>
#endif

namespace ebench {
namespace {

[[maybe_unused]] std::vector<std::string> expand(
        const std::vector<std::string>& vocab, const Query& q) {
    std::vector<std::string> out;
    const std::string& w = q.words[0];
    for (const std::string& t : vocab) {
        if (q.cls == "suffix") {
            if (t.size() >= w.size() &&
                t.compare(t.size() - w.size(), w.size(), w) == 0)
                out.push_back(t);
        } else if (similarity(t, w) >= 80) {
            out.push_back(t);
        }
    }
    return out;
}

}  // namespace

#ifdef ENGINE_BENCH_FTS5
namespace {

std::string quoted(const std::string& w) { return "\"" + w + "\""; }

class Fts5 : public System {
    // Inserts `docs` as rows firstNo, firstNo + 1, ...; false on a failure.
    bool insert(const std::vector<Doc>& docs, sqlite3_int64 firstNo) {
        sqlite3_stmt* ins = nullptr;
        bool ok = sqlite3_prepare_v2(db_, "INSERT INTO t(rowid, body) VALUES(?,?)",
                                     -1, &ins, nullptr) == SQLITE_OK;
        for (size_t i = 0; ok && i < docs.size(); ++i) {
            sqlite3_bind_int64(ins, 1, firstNo + static_cast<sqlite3_int64>(i));
            sqlite3_bind_text(ins, 2, docs[i].text.data(),
                              static_cast<int>(docs[i].text.size()),
                              SQLITE_STATIC);
            ok = sqlite3_step(ins) == SQLITE_DONE;
            sqlite3_reset(ins);
        }
        sqlite3_finalize(ins);
        return ok;
    }

public:
    ~Fts5() override {
        if (db_ != nullptr) sqlite3_close(db_);
    }
    const char* name() const override { return "FTS5"; }

    BuildFigures build(const std::vector<Doc>& docs,
                       const std::string& dir) override {
        BuildFigures f;
        std::filesystem::create_directories(dir);
        file_ = dir + "/fts5.db";
        if (sqlite3_open(file_.c_str(), &db_) != SQLITE_OK) {
            f.error = "open";
            return f;
        }
        const auto t0 = Clock::now();
        bool ok = exec("CREATE VIRTUAL TABLE t USING fts5(body)") &&
                  exec("BEGIN");
        ok = ok && insert(docs, 1);
        f.feedSec = secondsSince(t0);
        const auto t1 = Clock::now();
        ok = ok && exec("COMMIT");
        f.finishSec = secondsSince(t1);
        if (!ok) {
            f.error = sqlite3_errmsg(db_);
            return f;
        }
        sqlite3_close(db_);
        db_ = nullptr;
        f.indexBytes = treeBytes(dir);
        f.ok = true;
        return f;
    }

    bool open() override {
        if (sqlite3_open_v2(file_.c_str(), &db_, SQLITE_OPEN_READWRITE,
                            nullptr) != SQLITE_OK)
            return false;
        exec("CREATE VIRTUAL TABLE temp.v USING fts5vocab(main, t, 'row')");
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db_, "SELECT term FROM temp.v", -1, &s,
                               nullptr) != SQLITE_OK)
            return false;
        while (sqlite3_step(s) == SQLITE_ROW)
            vocab_.emplace_back(
                reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
        sqlite3_finalize(s);
        return true;
    }

    void update(const std::vector<Doc>& docs, int32_t firstNo,
                CommitFigures* c) override {
        if (!exec("BEGIN")) return;
        if (insert(docs, firstNo)) c->time([&] { return exec("COMMIT"); });
    }

    bool run(const Query& q, bool, std::vector<int32_t>* found,
             std::string* error) override {
        found->clear();
        std::string m;
        const std::vector<std::string>& w = q.words;
        auto join = [&](const std::vector<std::string>& v, const char* op) {
            std::string t;
            for (size_t i = 0; i < v.size(); ++i)
                t += (i ? op : "") + quoted(v[i]);
            return t;
        };
        if (q.cls == "sent" || q.cls == "field") return false;
        if (q.cls == "and") m = join(w, " AND ");
        else if (q.cls == "or" || q.cls == "top10") m = join(w, " OR ");
        else if (q.cls == "not") m = join(w, " NOT ");
        else if (q.cls == "dist5") m = "NEAR(" + join(w, " ") + ", 5)";
        else if (q.cls == "prefix") m = quoted(w[0]) + "*";
        else if (q.cls == "suffix" || q.cls == "fuzzy") {
            const std::vector<std::string> terms = expand(vocab_, q);
            if (terms.empty()) return true;
            m = join(terms, " OR ");
        } else {
            m = quoted(w[0]);
        }
        const char* sql = q.cls == "top10"
            ? "SELECT rowid FROM t WHERE t MATCH ? ORDER BY rank LIMIT 10"
            : "SELECT rowid FROM t WHERE t MATCH ?";
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &s, nullptr) != SQLITE_OK) {
            *error = sqlite3_errmsg(db_);
            return false;
        }
        sqlite3_bind_text(s, 1, m.c_str(), -1, SQLITE_TRANSIENT);
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW)
            found->push_back(sqlite3_column_int(s, 0));
        sqlite3_finalize(s);
        if (rc != SQLITE_DONE) {
            *error = m + ": " + sqlite3_errmsg(db_);
            return false;
        }
        if (q.cls != "top10") std::sort(found->begin(), found->end());
        return true;
    }

private:
    bool exec(const char* sql) {
        return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    }

    sqlite3* db_ = nullptr;
    std::string file_;
    std::vector<std::string> vocab_;
};

}  // namespace

std::unique_ptr<System> makeFts5() { return std::make_unique<Fts5>(); }
#else
std::unique_ptr<System> makeFts5() { return nullptr; }
#endif

#ifdef ENGINE_BENCH_XAPIAN
namespace {

class XapianSystem : public System {
public:
    const char* name() const override { return "Xapian"; }

    BuildFigures build(const std::vector<Doc>& docs,
                       const std::string& dir) override {
        BuildFigures f;
        dir_ = dir + "/xapian";
        std::filesystem::create_directories(dir);
        try {
            const auto t0 = Clock::now();
            Xapian::WritableDatabase db(dir_, Xapian::DB_CREATE_OR_OVERWRITE);
            db.begin_transaction();
            add(db, docs, 1);
            f.feedSec = secondsSince(t0);
            const auto t1 = Clock::now();
            db.commit_transaction();
            db.close();
            f.finishSec = secondsSince(t1);
        } catch (const Xapian::Error& e) {
            f.error = e.get_description();
            return f;
        }
        f.indexBytes = treeBytes(dir_);
        f.ok = true;
        return f;
    }

    bool open() override {
        try {
            db_ = Xapian::Database(dir_);
            for (auto t = db_.allterms_begin(); t != db_.allterms_end(); ++t)
                vocab_.push_back(*t);
        } catch (const Xapian::Error&) {
            return false;
        }
        return true;
    }

    void update(const std::vector<Doc>& docs, int32_t firstNo,
                CommitFigures* c) override {
        try {
            Xapian::WritableDatabase db(dir_, Xapian::DB_OPEN);
            db.begin_transaction();
            add(db, docs, firstNo);
            c->time([&] {
                db.commit_transaction();
                return true;
            });
            db.close();
        } catch (const Xapian::Error&) {
            c->seconds = -1;
        }
    }

    bool run(const Query& q, bool, std::vector<int32_t>* found,
             std::string* error) override {
        found->clear();
        if (q.cls == "sent" || q.cls == "field") return false;
        try {
            const std::vector<std::string>& w = q.words;
            Xapian::Query query;
            if (q.cls == "and") {
                query = Xapian::Query(Xapian::Query::OP_AND, w.begin(), w.end());
            } else if (q.cls == "or" || q.cls == "top10") {
                query = Xapian::Query(Xapian::Query::OP_OR, w.begin(), w.end());
            } else if (q.cls == "not") {
                query = Xapian::Query(Xapian::Query::OP_AND_NOT,
                                      Xapian::Query(w[0]),
                                      Xapian::Query(w[1]));
            } else if (q.cls == "dist5") {
                query = Xapian::Query(Xapian::Query::OP_NEAR, w.begin(),
                                      w.end(), 7);
            } else if (q.cls == "prefix") {
                query = Xapian::Query(Xapian::Query::OP_WILDCARD, w[0]);
            } else if (q.cls == "suffix" || q.cls == "fuzzy") {
                const std::vector<std::string> terms = expand(vocab_, q);
                if (terms.empty()) return true;
                query = Xapian::Query(Xapian::Query::OP_OR, terms.begin(),
                                      terms.end());
            } else {
                query = Xapian::Query(w[0]);
            }
            Xapian::Enquire enq(db_);
            enq.set_query(query);
            if (q.cls == "top10") {
                for (const auto& m : enq.get_mset(0, 10))
                    found->push_back(static_cast<int32_t>(m));
                return true;
            }
            enq.set_weighting_scheme(Xapian::BoolWeight());
            enq.set_docid_order(Xapian::Enquire::ASCENDING);
            for (const auto& m : enq.get_mset(0, db_.get_doccount()))
                found->push_back(static_cast<int32_t>(m));
            std::sort(found->begin(), found->end());
        } catch (const Xapian::Error& e) {
            *error = e.get_description();
            return false;
        }
        return true;
    }

private:
    static void add(Xapian::WritableDatabase& db, const std::vector<Doc>& docs,
                    int32_t firstNo) {
        Xapian::TermGenerator gen;
        for (size_t i = 0; i < docs.size(); ++i) {
            Xapian::Document d;
            gen.set_document(d);
            gen.index_text(docs[i].text);
            db.replace_document(static_cast<Xapian::docid>(firstNo) +
                                    static_cast<Xapian::docid>(i),
                                d);
        }
    }

    std::string dir_;
    Xapian::Database db_;
    std::vector<std::string> vocab_;
};

}  // namespace

std::unique_ptr<System> makeXapian() {
    return std::make_unique<XapianSystem>();
}
#else
std::unique_ptr<System> makeXapian() { return nullptr; }
#endif

}  // namespace ebench
