// A simple model of a compiled thesaurus, written from the dictionary's
// layout and derivation rules, for the compile and lookup tests: blocks of
// words become word ids (first appearance), groups (duplicates dropped),
// word relations (sorted, without duplicates, combined strengths), the four
// file images, and the breadth-first related-term walk.
#ifndef TESTS_ITL_CNET_CNET_MODEL_HPP
#define TESTS_ITL_CNET_CNET_MODEL_HPP

#include <algorithm>
#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "cnet_dict_util.hpp"

namespace cmodel {

struct MWord {
    std::string text;   // as written
    int strength = 100;
    int cat = 255;      // 255: member; else the relation line's code
    int id = 0;
};

struct MBlock {
    int cat = 0, id = 0;   // block relation
    std::vector<MWord> words;
};

// Definition text of the blocks (ASCII form).
inline std::string definition(const std::vector<MBlock>& blocks) {
    std::string s;
    for (const MBlock& b : blocks) {
        s += ":WORDS";
        if (b.cat == 3 && b.id == 1) s += ":SYNONYM";
        else if (b.cat == 3 && b.id == 2) s += ":RELATED";
        else if (b.cat == 3) s += ":RELATED(" + std::to_string(b.id - 127) + ")";
        s += "\n";
        for (const MWord& w : b.words) {
            if (w.cat != 255) {
                if (w.cat == 3 && w.id == 1) s += ".SYNONYM_OF";
                else if (w.cat == 3) s += ".RELATED_TO";
                else if (w.cat == 1) s += ".HIGHER_THAN";
                else s += ".LOWER_THAN";
                if (w.id >= 128) s += "(" + std::to_string(w.id - 127) + ")";
                s += " ";
            }
            s += w.text;
            if (w.strength != 100) s += " :" + std::to_string(w.strength);
            s += "\n";
        }
    }
    return s;
}

// Random blocks over words "w0".."w<vocab-1>" (with `blanks`, some words
// carry an inner blank): every block relation, relation-line keyword, user
// numbers and strengths, and now and then a copy of an earlier block.
template <class Rng>
std::vector<MBlock> randomBlocks(Rng& rng, int vocab, bool blanks = false) {
    auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); };
    auto m = [](const std::string& t, int s = 100) { return MWord{t, s, 255, 0}; };
    auto r = [](int cat, int id, const std::string& t, int s) { return MWord{t, s, cat, id}; };
    std::vector<MBlock> blocks;
    const int nblocks = 1 + pick(10);
    for (int b = 0; b < nblocks; ++b) {
        if (!blocks.empty() && pick(8) == 0) {
            blocks.push_back(blocks[static_cast<size_t>(pick(static_cast<int>(blocks.size())))]);
            continue;
        }
        MBlock blk;
        int kind = pick(4);
        if (kind == 1) { blk.cat = 3; blk.id = 1; }
        else if (kind == 2) { blk.cat = 3; blk.id = 2; }
        else if (kind == 3) { blk.cat = 3; blk.id = 127 + 1 + pick(3); }
        std::set<int> used;
        auto word = [&]() {
            int w;
            do w = pick(vocab); while (used.count(w));
            used.insert(w);
            std::string t = (blanks ? "W" : "w") + std::to_string(w);
            if (blanks && w % 3 == 0) t += " X" + std::to_string(w % 7);
            return t;
        };
        auto strength = [&]() { return pick(3) == 0 ? 1 + pick(100) : 100; };
        const int members = 1 + pick(std::min(4, vocab / 2));
        for (int i = 0; i < members; ++i) blk.words.push_back(m(word(), strength()));
        const int rels = (blk.cat == 0 ? 1 : 0) + pick(3);
        for (int i = 0; i < rels && static_cast<int>(used.size()) < vocab; ++i) {
            static const int cats[] = {1, 2, 3, 3};
            int c = cats[pick(4)];
            int id = c == 3 ? 1 + pick(2) : 1;
            if (pick(4) == 0) id = 128 + pick(3);
            blk.words.push_back(r(c, id, word(), strength()));
        }
        if (blk.cat == 0 && blk.words.size() == static_cast<size_t>(members)) blk.cat = 3, blk.id = 1;
        if (blk.cat != 0 && blk.words.size() < 2 && static_cast<int>(used.size()) < vocab)
            blk.words.push_back(m(word()));
        blocks.push_back(blk);
    }
    return blocks;
}

struct Rel {
    uint32_t target;
    int cat, id, strength;
    bool operator<(const Rel& o) const {
        return std::tie(target, cat, id, strength) < std::tie(o.target, o.cat, o.id, o.strength);
    }
    bool operator==(const Rel& o) const {
        return std::tie(target, cat, id, strength) == std::tie(o.target, o.cat, o.id, o.strength);
    }
};

struct GEntry {
    uint32_t word;
    int strength, cat, id;
};

struct Model {
    uint8_t cp = 8;
    std::vector<std::string> words;           // normalised, by id
    std::vector<std::vector<uint32_t>> groupsOf;
    std::vector<std::vector<Rel>> rels;
    struct Group {
        int cat, id;
        std::vector<GEntry> entries;
        uint32_t members;
    };
    std::vector<Group> groups;

    Model(const std::vector<MBlock>& blocks, uint8_t codepage) : cp(codepage) {
        std::map<std::string, uint32_t> ids;
        std::vector<int> firstStrength;
        std::set<std::string> seen;
        struct Occ {
            uint32_t group;
            bool member;
            int cat, id, strength;
        };
        for (const MBlock& b : blocks) {
            std::vector<std::pair<std::string, MWord>> mem, rl;
            for (const MWord& w : b.words)
                (w.cat == 255 ? mem : rl).push_back({cdict::norm(cp, w.text), w});
            std::sort(mem.begin(), mem.end(),
                      [](const auto& a, const auto& c) { return a.first < c.first; });
            std::sort(rl.begin(), rl.end(),
                      [](const auto& a, const auto& c) { return a.first < c.first; });
            Group g{b.cat, b.id, {}, static_cast<uint32_t>(mem.size())};
            for (auto* list : {&mem, &rl}) {
                for (auto& [n, w] : *list) {
                    auto it = ids.find(n);
                    if (it == ids.end()) {
                        it = ids.emplace(n, static_cast<uint32_t>(words.size())).first;
                        words.push_back(n);
                        firstStrength.push_back(w.strength);
                    }
                    g.entries.push_back(GEntry{it->second, w.strength, w.cat, w.cat == 255 ? 0 : w.id});
                }
            }
            std::string key = std::to_string(g.cat) + "," + std::to_string(g.id) + "," +
                              std::to_string(g.members) + ":";
            for (const GEntry& e : g.entries)
                key += std::to_string(e.word) + "/" + std::to_string(e.strength) + "/" +
                       std::to_string(e.cat) + "/" + std::to_string(e.id) + ";";
            if (!seen.insert(key).second) continue;
            groups.push_back(g);
        }
        groupsOf.assign(words.size(), {});
        rels.assign(words.size(), {});
        for (uint32_t gi = 0; gi < groups.size(); ++gi) {
            const Group& g = groups[gi];
            for (uint32_t a = 0; a < g.entries.size(); ++a) {
                const GEntry& me = g.entries[a];
                const bool meMember = a < g.members;
                groupsOf[me.word].push_back(gi);
                const int sW = firstStrength[me.word];
                for (uint32_t b = 0; b < g.entries.size(); ++b) {
                    const GEntry& o = g.entries[b];
                    const bool oMember = b < g.members;
                    if (o.word == me.word) continue;
                    Rel r{o.word, 0, 0, ((o.strength - 1) * (sW - 1)) / 99 + 1};
                    if (meMember && oMember) {
                        if (g.cat == 0) continue;
                        r.cat = g.cat;
                        r.id = g.id;
                    } else if (meMember) {
                        r.cat = o.cat == 1 ? 2 : o.cat == 2 ? 1 : o.cat;
                        r.id = o.id;
                    } else if (oMember) {
                        r.cat = me.cat;
                        r.id = me.id;
                    } else {
                        continue;
                    }
                    rels[me.word].push_back(r);
                }
            }
        }
        for (auto& v : rels) {
            std::sort(v.begin(), v.end());
            v.erase(std::unique(v.begin(), v.end()), v.end());
        }
        for (auto& v : groupsOf) {
            std::sort(v.begin(), v.end());
            v.erase(std::unique(v.begin(), v.end()), v.end());
        }
    }

    static void be32(std::string& s, uint32_t v) {
        for (int k = 24; k >= 0; k -= 8) s.push_back(static_cast<char>(v >> k));
    }

    // The four file images, as liveFiles() concatenates them.
    std::string files() const {
        std::string wdf, wdv, grf, grv;
        uint32_t maxWG = 0, maxWR = 0, maxGM = 0, maxGR = 0;
        for (uint32_t w = 0; w < words.size(); ++w) {
            be32(wdf, static_cast<uint32_t>(wdv.size()));
            be32(wdf, static_cast<uint32_t>(words[w].size()));
            be32(wdf, static_cast<uint32_t>(rels[w].size()));
            be32(wdf, static_cast<uint32_t>(groupsOf[w].size()));
            wdf.append(4, '\0');
            wdv += words[w];
            wdv.append((4 - words[w].size() % 4) % 4, '\0');
            for (uint32_t g : groupsOf[w]) be32(wdv, g);
            for (const Rel& r : rels[w]) {
                be32(wdv, r.target);
                wdv.push_back(static_cast<char>(r.cat));
                wdv.push_back(static_cast<char>(r.id));
                wdv.push_back(static_cast<char>(r.strength));
                wdv.push_back('\0');
            }
            maxWG = std::max<uint32_t>(maxWG, static_cast<uint32_t>(groupsOf[w].size()));
            maxWR = std::max<uint32_t>(maxWR, static_cast<uint32_t>(rels[w].size()));
        }
        for (const Group& g : groups) {
            be32(grf, static_cast<uint32_t>(grv.size()));
            be32(grf, static_cast<uint32_t>(8 * g.entries.size()));
            be32(grf, g.members);
            be32(grf, static_cast<uint32_t>(g.entries.size() - g.members));
            grf.push_back(static_cast<char>(g.cat));
            grf.push_back(static_cast<char>(g.id));
            grf.append(2, '\0');
            for (const GEntry& e : g.entries) {
                be32(grv, e.word);
                grv.push_back(static_cast<char>(e.strength));
                grv.push_back('\0');
                grv.push_back(static_cast<char>(e.cat));
                grv.push_back(static_cast<char>(e.id));
            }
            maxGM = std::max(maxGM, g.members);
            maxGR = std::max<uint32_t>(maxGR, static_cast<uint32_t>(g.entries.size() - g.members));
        }
        std::string head = "CNET";
        be32(head, 0x100);
        be32(head, static_cast<uint32_t>(words.size()));
        be32(head, static_cast<uint32_t>(groups.size()));
        be32(head, 0);
        be32(head, 0);
        be32(head, maxWG);
        be32(head, maxWR);
        be32(head, maxGM);
        be32(head, maxGR);
        head.push_back(static_cast<char>(cp));
        head.append(39, '\0');
        return head + wdf + "|" + wdv + "|" + grf + "|" + grv + "|";
    }

    // The walk from the word of normalised form `base` (exact match).
    struct Walk {
        std::vector<cdict::Found> found;
        uint32_t cut = 0;
        bool notFound = false;
    };
    Walk walk(const std::string& baseNorm, const std::set<std::pair<int, int>>& sel,
              uint32_t limit, uint32_t depthLimit, int minStrength) const {
        Walk out;
        auto it = std::find(words.begin(), words.end(), baseNorm);
        if (it == words.end()) {
            out.notFound = true;
            return out;
        }
        struct Q {
            uint32_t word;
            int64_t from;
            int cat, id, strength;
            uint32_t depth;
            int64_t parent;
        };
        std::vector<bool> visited(words.size());
        std::deque<Q> q;
        const uint32_t start = static_cast<uint32_t>(it - words.begin());
        visited[start] = true;
        q.push_back({start, -1, 0, 0, 0, 0, -1});
        while (!q.empty()) {
            Q e = q.front();
            q.pop_front();
            int64_t rec = -1;
            if (e.word != start) {
                if (out.found.size() < limit) {
                    uint32_t kind = 0, number = 0;
                    if (e.id >= 128) {
                        number = static_cast<uint32_t>(e.id - 127);
                        kind = e.cat == 3 ? 5 : e.cat == 1 ? 6 : 7;
                    } else {
                        kind = e.cat == 3 ? (e.id == 1 ? 1 : 2) : e.cat == 1 ? 3 : 4;
                    }
                    rec = static_cast<int64_t>(out.found.size());
                    out.found.push_back({cdict::display(cp, words[e.word]), e.depth,
                                         static_cast<uint32_t>(e.strength), kind, number,
                                         e.parent});
                } else {
                    ++out.cut;
                }
            }
            if (e.depth + 1 > depthLimit) continue;
            for (const Rel& r : rels[e.word]) {
                if (r.target == e.word || static_cast<int64_t>(r.target) == e.from) continue;
                if (!sel.count({r.cat, r.id}) || r.strength < minStrength) continue;
                if (visited[r.target]) continue;
                visited[r.target] = true;
                q.push_back({r.target, e.word, r.cat, r.id, r.strength, e.depth + 1, rec});
            }
        }
        return out;
    }
};

}  // namespace cmodel

#endif  // TESTS_ITL_CNET_CNET_MODEL_HPP
