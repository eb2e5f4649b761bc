// Randomized and crash tests of the block store: a block file and a slot
// file driven together through create, write, release, commit and
// rollback, against an in-memory model of their committed state.
//
//  - AgreesWithModelAcrossReopens: seeded random rounds (inside and
//    outside transactions, committed or rolled back), closing and
//    reopening every few rounds; the content always equals the model's.
//  - SurvivesKillAtAnyInstant: a forked writer commits rounds and is killed
//    with SIGKILL at a random moment; reopening gives exactly the state of
//    the last commit (or of the one in flight, when it had been announced),
//    never a blend, and the files accept further rounds.
// Seeds are printed; TEST_SEED replays one.
#include <ftw.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "engine_test_util.hpp"

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "blocks/voz_blockmgr.hpp"
#include "blocks/voz_sharedblock.hpp"

namespace {

constexpr uint32_t kBlock = 4096;
constexpr uint32_t kSlotBlock = 32768;

// Content of object `id` at version `ver`: deterministic bytes.
void fillBytes(uint8_t* p, size_t n, uint32_t id, uint32_t ver) {
    uint32_t x = id * 2654435761u ^ (ver + 1) * 40503u;
    for (size_t i = 0; i < n; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        p[i] = static_cast<uint8_t>(x);
    }
}

// Slot length of object `id` at version `ver`: mostly short lists.
uint32_t slotLength(uint32_t id, uint32_t ver) {
    uint32_t h = (id * 7919u + ver * 104729u) % 1000u;
    if (h < 700) return 1 + h % 200;
    if (h < 950) return 200 + h * 7 % 3000;
    return 3000 + h * 131 % 13384;
}

struct BlockObj {
    uint32_t block, ver;
};
struct SlotObj {
    uint32_t unit;
    uint16_t offset;
    uint32_t length, ver;
};

// The model: object id -> where it lies and its version.
struct State {
    std::map<uint32_t, BlockObj> blocks;
    std::map<uint32_t, SlotObj> slots;
    uint32_t nextId = 1;

    bool operator==(const State& o) const {
        return text() == o.text();
    }
    // One line: "id:block:ver ... | id:unit:offset:length:ver ...".
    std::string text() const {
        std::ostringstream s;
        s << nextId;
        for (const auto& b : blocks) {
            s << ' ' << b.first << ':' << b.second.block << ':' << b.second.ver;
        }
        s << " |";
        for (const auto& o : slots) {
            s << ' ' << o.first << ':' << o.second.unit << ':'
              << o.second.offset << ':' << o.second.length << ':'
              << o.second.ver;
        }
        return s.str();
    }
    static State parse(const std::string& line) {
        State st;
        std::istringstream in(line);
        in >> st.nextId;
        std::string tok;
        bool slotPart = false;
        while (in >> tok) {
            if (tok == "|") {
                slotPart = true;
                continue;
            }
            unsigned a, b, c, d, e;
            if (!slotPart &&
                sscanf(tok.c_str(), "%u:%u:%u", &a, &b, &c) == 3) {
                st.blocks[a] = {b, c};
            } else if (sscanf(tok.c_str(), "%u:%u:%u:%u:%u", &a, &b, &c, &d,
                              &e) == 5) {
                st.slots[a] = {b, static_cast<uint16_t>(c), d, e};
            }
        }
        return st;
    }
};

// The block file and the slot file of one store.
struct Store {
    std::string blockFile, blockCtl, slotFile, slotCtl;
    CVozBlockMgr* blocks = nullptr;
    CVozSharedBlockMgr* slots = nullptr;

    explicit Store(const TempDir& dir)
        : blockFile(dir / "LF"), blockCtl(dir / "LFctl"),
          slotFile(dir / "SB"), slotCtl(dir / "SBctl") {}
    ~Store() {
        delete blocks;
        delete slots;
    }
    void create() {
        CVozBlockMgr b;
        b.Initialize(blockFile.c_str(), blockCtl.c_str(), kBlock, 1);
        CVozSharedBlockMgr s;
        s.Initialize(slotFile.c_str(), slotCtl.c_str(), kSlotBlock);
    }
    void open() {
        blocks = new CVozBlockMgr();
        blocks->OpenBlockFile(blockFile.c_str(), kBlock, blockCtl.c_str(),
                              blockCtl.c_str());
        slots = new CVozSharedBlockMgr();
        slots->OpenBlockFile(slotFile.c_str(), kSlotBlock, slotCtl.c_str(),
                             slotCtl.c_str());
    }
    void close() {
        blocks->CloseBlockFile();
        slots->CloseBlockFile();
        delete blocks;
        delete slots;
        blocks = nullptr;
        slots = nullptr;
    }
};

// Random steps on a store and its model.
class Workload {
public:
    Workload(Store& store, uint32_t seed) : s_(store), rng_(seed) {}

    State work;  // the state the store holds now

    // One round of `steps` random steps.
    void round(int steps) {
        for (int i = 0; i < steps; ++i) step();
    }

    // Compares every object with the store; "" when all agree.
    std::string verify(const State& st) {
        std::vector<uint8_t> want(kBlock);
        for (const auto& b : st.blocks) {
            CVozBlockInfo info;
            try {
                s_.blocks->Pin(b.second.block, info);
            } catch (const CVozException& e) {
                return "block object " + std::to_string(b.first) +
                       " cannot be pinned: " + std::to_string(e.errcode);
            }
            fillBytes(want.data(), kBlock, b.first, b.second.ver);
            bool same = memcmp(info.data, want.data(), kBlock) == 0;
            uint32_t blk = b.second.block;
            s_.blocks->Unpin(blk, info);
            if (!same) return "block object " + std::to_string(b.first);
            if (s_.blocks->CommittedControl().IsListed(blk) &&
                !s_.blocks->InTransaction()) {
                return "live block listed as vacated";
            }
        }
        for (const auto& o : st.slots) {
            POS_ATTR a = attr(o.second);
            std::vector<uint8_t> got(a.dataleng), exp(a.dataleng);
            try {
                s_.slots->ReadSlot(a, got.data());
            } catch (const CVozException& e) {
                return "slot object " + std::to_string(o.first) +
                       " cannot be read: " + std::to_string(e.errcode);
            }
            fillBytes(exp.data(), exp.size(), o.first, o.second.ver);
            if (got != exp) return "slot object " + std::to_string(o.first);
            if (!s_.slots->InTransaction() &&
                s_.slots->CommittedControl()->IsVacated(a.blockID,
                                                        a.blkOffset)) {
                return "live slot vacated";
            }
        }
        if (!s_.slots->CommittedControl()->Check()) return "slot control";
        return "";
    }

private:
    static POS_ATTR attr(const SlotObj& o) {
        POS_ATTR a;
        memset(&a, 0, sizeof a);
        a.blockID = o.unit;
        a.blkOffset = o.offset;
        a.dataleng = o.length;
        return a;
    }
    uint32_t pick(size_t n) {
        return std::uniform_int_distribution<uint32_t>(
            0, static_cast<uint32_t>(n - 1))(rng_);
    }
    template <typename M>
    typename M::iterator any(M& m) {
        auto it = m.begin();
        std::advance(it, pick(m.size()));
        return it;
    }

    void writeBlock(uint32_t id, BlockObj& o, bool fresh) {
        CVozBlockInfo info;
        s_.blocks->Pin(o.block, info);
        fillBytes(info.data, kBlock, id, o.ver);
        s_.blocks->MarkModified(info);
        int moved = s_.blocks->Unpin(o.block, info);
        if (fresh) {
            EXPECT_EQ(moved, 0);
        }
    }

    void writeSlot(uint32_t id, SlotObj& o, bool fresh) {
        POS_ATTR a = attr(o);
        a.dataleng = slotLength(id, o.ver);
        std::vector<uint8_t> data(a.dataleng);
        fillBytes(data.data(), data.size(), id, o.ver);
        if (fresh) {
            a.blockID = VOZ_NO_UNIT;
            s_.slots->WriteOnBuffer(a, data.data());
        } else {
            s_.slots->WriteSlot(a, data.data());
        }
        o = {a.blockID, a.blkOffset, a.dataleng, o.ver};
    }

    // Pins many blocks at once: the pool grows and may turn write-through.
    void pinMany() {
        std::vector<CVozBlockInfo> infos(std::min<size_t>(work.blocks.size(), 70));
        size_t n = 0;
        for (auto& b : work.blocks) {
            if (n == infos.size()) break;
            s_.blocks->Pin(b.second.block, infos[n++]);
        }
        n = 0;
        for (auto& b : work.blocks) {
            if (n == infos.size()) break;
            uint32_t blk = b.second.block;
            s_.blocks->Unpin(blk, infos[n++]);
        }
    }

    void step() {
        uint32_t op = pick(100);
        if (op < 20 || (op < 50 && work.blocks.empty())) {
            uint32_t id = work.nextId++;
            BlockObj o{0, 0};
            o.block = work.blocks.empty() || pick(2) == 0
                          ? s_.blocks->CreateNewBlock()
                          : s_.blocks->CreateNearBlock(any(work.blocks)->second.block);
            writeBlock(id, o, true);
            work.blocks[id] = o;
        } else if (op < 35) {
            auto it = any(work.blocks);
            ++it->second.ver;
            writeBlock(it->first, it->second, false);
        } else if (op < 45) {
            auto it = any(work.blocks);
            s_.blocks->ReleaseBlock(it->second.block);
            work.blocks.erase(it);
        } else if (op < 47) {
            pinMany();
        } else if (op < 70 || work.slots.empty()) {
            uint32_t id = work.nextId++;
            SlotObj o{VOZ_NO_UNIT, 0, 0, 0};
            writeSlot(id, o, true);
            work.slots[id] = o;
        } else if (op < 88) {
            auto it = any(work.slots);
            ++it->second.ver;
            writeSlot(it->first, it->second, false);
        } else {
            auto it = any(work.slots);
            POS_ATTR a = attr(it->second);
            s_.slots->ReleaseSlot(a);
            work.slots.erase(it);
        }
    }

    Store& s_;
    std::mt19937 rng_;
};

// Transaction on both files.
void begin(Store& s) {
    s.blocks->Transaction();
    s.slots->Transaction();
}

}  // namespace

TEST(VozBlockStore, AgreesWithModelAcrossReopens) {
    uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    TempDir dir;
    Store store(dir);
    store.create();
    store.open();
    Workload w(store, seed);
    State committed;
    for (int r = 1; r <= 60; ++r) {
        int kind = static_cast<int>(rng() % 4);  // 0 outside, 1-2 commit, 3 rollback
        if (kind == 0) {
            w.round(40);
            committed = w.work;
        } else {
            begin(store);
            w.round(40);
            ASSERT_EQ(w.verify(w.work), "") << "round " << r << " seed " << seed;
            if (kind == 3) {
                store.blocks->Resume();
                store.slots->Resume();
                w.work = committed;
            } else {
                store.blocks->Commit();
                store.slots->Commit();
                committed = w.work;
            }
        }
        ASSERT_EQ(w.verify(committed), "") << "round " << r << " seed " << seed;
        if (r % 5 == 0) {
            store.close();
            store.open();
            ASSERT_EQ(w.verify(committed), "")
                << "after reopen, round " << r << " seed " << seed;
        }
    }
    store.close();
}

namespace {

// The writer: rounds of transactions, each announced ("P <state>") before
// its commits and confirmed ("C") after; runs until killed.
[[noreturn]] void runWriter(Store& store, uint32_t seed, int fd) {
    store.open();
    Workload w(store, seed);
    for (int r = 1; r < 100000; ++r) {
        begin(store);
        w.round(60);
        std::string line = "P " + w.work.text() + "\n";
        if (write(fd, line.data(), line.size()) < 0) _exit(2);
        store.blocks->Commit();
        store.slots->Commit();
        if (write(fd, "C\n", 2) < 0) _exit(2);
        if (r % 3 == 0) {  // a kill may land in a close, too
            store.close();
            store.open();
        }
    }
    _exit(0);
}

std::string readAll(int fd) {
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
    return out;
}

// Reads the writer's log until it has confirmed `commits` rounds.
std::string readCommits(int fd, int commits) {
    std::string out;
    char c;
    while (commits > 0 && read(fd, &c, 1) == 1) {
        out += c;
        if (c == '\n' && out.size() >= 2 && out[out.size() - 2] == 'C' &&
            (out.size() == 2 || out[out.size() - 3] == '\n')) {
            --commits;
        }
    }
    return out;
}

}  // namespace

TEST(VozBlockStore, SurvivesKillAtAnyInstant) {
    uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    int rounds[3] = {0, 0, 0};  // kills with none, announced-only, confirmed
    for (int run = 0; run < 24; ++run) {
        uint32_t childSeed = static_cast<uint32_t>(rng());
        TempDir dir;
        Store store(dir);
        store.create();
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(fds[0]);
            runWriter(store, childSeed, fds[1]);
        }
        close(fds[1]);
        // Let 0 to 3 rounds commit, then kill at a random moment.
        std::string log = readCommits(fds[0], static_cast<int>(rng() % 4));
        usleep(static_cast<useconds_t>(rng() % 30000));
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        log += readAll(fds[0]);
        close(fds[0]);

        // The last confirmed state, and the one announced after it.
        State confirmed, announced;
        bool pending = false;
        std::istringstream lines(log);
        std::string line;
        while (std::getline(lines, line)) {
            if (lines.eof()) break;  // a line cut by the kill
            if (line.compare(0, 2, "P ") == 0) {
                announced = State::parse(line.substr(2));
                pending = true;
            } else if (line == "C") {
                confirmed = announced;
                pending = false;
            }
        }
        ++rounds[pending ? 1 : confirmed.nextId > 1 ? 2 : 0];
        store.open();
        Workload w(store, childSeed + 1);
        // Each file holds the confirmed state or, with a commit in flight,
        // possibly the announced one (block and slot files commit apart).
        std::string atConfirmed = w.verify(confirmed);
        std::string atAnnounced = pending ? w.verify(announced) : "none";
        State found = confirmed;
        if (!atConfirmed.empty() && pending) {
            // Mixed is allowed across the two files only: check each.
            State mix = confirmed;
            mix.slots = announced.slots;
            State mix2 = announced;
            mix2.slots = confirmed.slots;
            if (atAnnounced.empty()) {
                found = announced;
            } else if (w.verify(mix).empty()) {
                found = mix;
            } else if (w.verify(mix2).empty()) {
                found = mix2;
            } else {
                FAIL() << "run " << run << " seed " << seed << ": "
                       << atConfirmed << " / " << atAnnounced;
            }
        } else {
            ASSERT_EQ(atConfirmed, "") << "run " << run << " seed " << seed;
        }
        // The files go on working from the state found.
        w.work = found;
        w.work.nextId = std::max(confirmed.nextId, announced.nextId);
        begin(store);
        w.round(30);
        store.blocks->Commit();
        store.slots->Commit();
        store.close();
        store.open();
        ASSERT_EQ(w.verify(w.work), "") << "run " << run << " seed " << seed;
        store.close();
    }
    printf("kills: %d before any commit, %d during a commit, %d between\n",
           rounds[0], rounds[1], rounds[2]);
}
