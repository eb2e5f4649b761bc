// short_docs.hpp -- cuts a corpus into short documents, so that the costs
// that come once per document show in bench/engine_bench and
// bench/index_corpus (their --short <bytes> option).
//
// Each document is cut into pieces of about `target` bytes, in order: a
// piece ends at the first line end (which includes every paragraph end)
// between target/2 and 2*target bytes from its start; failing one, at the
// first sentence end (". ") there; failing that, at the first blank at or
// after `target` bytes; a document's last piece takes what is left. Cuts
// fall on ASCII bytes only, so no UTF-8 sequence is split. Pieces of blanks
// alone are dropped. The same corpus and target give the same pieces.
#ifndef BENCH_SHORT_DOCS_HPP
#define BENCH_SHORT_DOCS_HPP

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace short_docs {

// The ends of the pieces of `t` (exclusive), in order.
inline std::vector<size_t> cuts(const std::string& t, size_t target) {
    std::vector<size_t> out;
    if (target == 0) target = 1;
    size_t p = 0;
    while (p < t.size()) {
        if (t.size() - p <= 2 * target) {
            out.push_back(t.size());
            break;
        }
        const size_t lo = p + std::max<size_t>(target / 2, 1);
        const size_t hi = p + 2 * target;
        size_t end = t.find('\n', lo);
        if (end == std::string::npos || end >= hi) {
            end = t.find(". ", lo);
            if (end == std::string::npos || end >= hi) {
                end = t.find(' ', p + target);
                if (end == std::string::npos) end = t.size();
            } else {
                ++end;  // keep the full stop in the piece
            }
        }
        end = std::min(end + 1, t.size());  // the line end or blank too
        out.push_back(end);
        p = end;
    }
    return out;
}

inline bool blank(const std::string& s) {
    return s.find_first_not_of(" \t\r\n") == std::string::npos;
}

// Calls `emit(index of the source document, piece text)` for every piece
// of every document of `texts` in order; `text(d)` gives document d's text.
template <typename Text, typename Emit>
void cut(size_t documents, Text text, size_t target, Emit emit) {
    for (size_t d = 0; d < documents; ++d) {
        const std::string& t = text(d);
        size_t from = 0;
        for (size_t end : cuts(t, target)) {
            std::string piece = t.substr(from, end - from);
            from = end;
            if (!blank(piece)) emit(d, std::move(piece));
        }
    }
}

// `docs` cut in place into documents of about `target` bytes (0: kept as
// they are); gives the corpus size in MB (10^6 bytes).
inline double cutAll(std::vector<std::string>& docs, size_t target) {
  if (target > 0) {
    std::vector<std::string> pieces;
    cut(docs.size(), [&](size_t d) -> const std::string& { return docs[d]; },
        target, [&](size_t, std::string p) { pieces.push_back(std::move(p)); });
    docs.swap(pieces);
  }
  double mb = 0;
  for (const std::string& d : docs) mb += static_cast<double>(d.size());
  return mb / 1e6;
}

}  // namespace short_docs

#endif  // BENCH_SHORT_DOCS_HPP
