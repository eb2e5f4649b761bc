// Tests of FILE_CONTROL (buffered engine files), partitioned files and the
// named file record NAMEDFCTL.
//
// Partitioned files are split for real: a forked child lowers
// RLIMIT_FSIZE (SIGXFSZ ignored) so that the file system refuses writes
// with EFBIG, and the parts it leaves are checked by name and size.
#include <errno.h>
#include <fcntl.h>
#include <ftw.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "ti_test_util.hpp"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <string>

#include "files/voz_file.hpp"
#include "files/voz_status.hpp"

namespace {

// A fresh directory, removed with everything in it.
std::string pattern(size_t n, unsigned salt = 0) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + salt) % 251);
    return s;
}

int64_t fileSize(const std::string& path) {
    struct stat sb;
    return stat(path.c_str(), &sb) == 0 ? sb.st_size : -1;
}

std::string readAll(FILE_CONTROL* f) {
    std::string out;
    char buf[1000];
    size_t n;
    while ((n = voz_XXread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    return out;
}

bool writeAll(FILE_CONTROL* f, const std::string& s) {
    return voz_XXwrite(s.data(), s.size(), 1, f) == 1;
}

// Runs `body` in a child whose files may not exceed `limit` bytes (EFBIG
// instead of SIGXFSZ).  The body returns "" or a failure text; the parent
// gets that text back.
std::string runLimited(rlim_t limit, const std::function<std::string()>& body) {
    int fds[2];
    if (pipe(fds) != 0) return "pipe failed";
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit rl = {limit, limit};
        std::string msg = "setrlimit failed";
        try {
            if (setrlimit(RLIMIT_FSIZE, &rl) == 0) msg = body();
        } catch (const std::exception& e) {
            msg = std::string("exception: ") + e.what();
        }
        if (!msg.empty() && write(fds[1], msg.data(), msg.size()) < 0) _exit(2);
        _exit(msg.empty() ? 0 : 1);
    }
    close(fds[1]);
    std::string msg;
    char buf[256];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0) msg.append(buf, n);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status)) return "child died " + std::to_string(status);
    if (WEXITSTATUS(status) != 0 && msg.empty()) return "child failed";
    return msg;
}

}  // namespace

TEST(PartitionedFile, CreatingModeMakesDirectoryWithPartZero) {
    TempDir dir;
    std::string path = dir / "a/b/file";
    FILE_CONTROL* f = voz_XXopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(voz_XXtell64(f), 0);
    EXPECT_EQ(voz_XXclose(f), 0);
    struct stat sb;
    ASSERT_EQ(stat(path.c_str(), &sb), 0);
    EXPECT_TRUE(S_ISDIR(sb.st_mode));
    EXPECT_EQ(fileSize(path + "/0000"), 0);
    EXPECT_EQ(fileSize(path + "/0001"), -1);
}

TEST(PartitionedFile, ReopenSumsPartsAndTakesPartSizeFromPartZero) {
    TempDir dir;
    std::string path = dir / "f";
    mkdir(path.c_str(), 0770);
    std::string p0 = pattern(1000, 1), p1 = pattern(10, 2);
    ASSERT_TRUE(writeFile(path + "/0000", p0));
    ASSERT_TRUE(writeFile(path + "/0001", p1));
    FILE_CONTROL* f = voz_XXopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->logsize, 1010);
    EXPECT_EQ(f->partsize, 1000);
    char c = 0;
    ASSERT_EQ(voz_XXseek64(f, 1005, 0), 0);
    ASSERT_EQ(voz_XXread(&c, 1, 1, f), 1u);
    EXPECT_EQ(c, p1[5]);
    char across[10];
    ASSERT_EQ(voz_XXseek64(f, 995, 0), 0);
    ASSERT_EQ(voz_XXread(across, 10, 1, f), 1u);
    EXPECT_EQ(std::string(across, 10), p0.substr(995) + p1.substr(0, 5));
    ASSERT_EQ(voz_XXseek64(f, 0, 0), 0);
    EXPECT_EQ(readAll(f), p0 + p1);
    EXPECT_TRUE(voz_XXeof(f));
    voz_XXclose(f);

    // A single part keeps the unknown part size.
    remove((path + "/0001").c_str());
    f = voz_XXopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->partsize, VOZ_PART_SIZE_UNKNOWN);
    EXPECT_EQ(f->logsize, 1000);
    voz_XXclose(f);
}

TEST(PartitionedFile, SplitsAtTheFileSizeLimitAndReadsBackWhole) {
    TempDir dir;
    const std::string path = dir / "big";
    const std::string data = pattern(10000, 3);
    std::string err = runLimited(4096, [&]() -> std::string {
        FILE_CONTROL* f = voz_XXopen(path.c_str(), "wb+");
        if (f == nullptr) return "open failed";
        // Small buffered pieces first, then one large direct write.
        for (size_t off = 0; off < 5000; off += 1000) {
            if (!writeAll(f, data.substr(off, 1000))) return "write piece";
        }
        if (!writeAll(f, data.substr(5000))) return "write rest";
        if (f->partsize != 4096) return "part size not learned";
        // Overwrite across the border of parts 1 and 2, then read it back.
        if (voz_XXseek64(f, 8190, 0) != 0 || !writeAll(f, "XYZW"))
            return "overwrite";
        char got[12];
        if (voz_XXseek64(f, 8186, 0) != 0 || voz_XXread(got, 12, 1, f) != 1)
            return "read across border";
        std::string expect = data.substr(8186, 4) + "XYZW" + data.substr(8194, 4);
        if (std::string(got, 12) != expect) return "bytes across border";
        return voz_XXclose(f) == 0 ? "" : "close failed";
    });
    ASSERT_EQ(err, "");
    EXPECT_EQ(fileSize(path + "/0000"), 4096);
    EXPECT_EQ(fileSize(path + "/0001"), 4096);
    EXPECT_EQ(fileSize(path + "/0002"), 10000 - 8192);
    EXPECT_EQ(fileSize(path + "/0003"), -1);

    std::string expect = data;
    expect.replace(8190, 4, "XYZW");
    FILE_CONTROL* f = voz_XXopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->partsize, 4096);
    EXPECT_EQ(readAll(f), expect);
    // Seeks across part borders in both directions.
    for (int64_t pos : {4095, 4096, 8191, 100, 9999, 4097, 0}) {
        char c;
        ASSERT_EQ(voz_XXseek64(f, pos, 0), 0) << pos;
        ASSERT_EQ(voz_XXread(&c, 1, 1, f), 1u) << pos;
        EXPECT_EQ(c, expect[pos]) << pos;
        EXPECT_EQ(voz_XXtell64(f), pos + 1);
    }
    voz_XXclose(f);
}

TEST(PartitionedFile, GapBeyondTheEndIsFilledWithZerosAcrossParts) {
    TempDir dir;
    const std::string small = dir / "small";
    FILE_CONTROL* f = voz_XXopen(small.c_str(), "wb+");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(voz_XXseek64(f, 100, 0), 0);
    ASSERT_TRUE(writeAll(f, "x"));
    ASSERT_EQ(voz_XXclose(f), 0);
    EXPECT_EQ(fileSize(small + "/0000"), 101);
    f = voz_XXopen(small.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(readAll(f), std::string(100, '\0') + "x");
    voz_XXclose(f);

    // Under a limit the gap runs over two part borders.
    const std::string path = dir / "gap";
    std::string err = runLimited(3000, [&]() -> std::string {
        FILE_CONTROL* g = voz_XXopen(path.c_str(), "wb");
        if (g == nullptr) return "open";
        if (!writeAll(g, "head") || voz_XXseek64(g, 7000, 0) != 0 ||
            !writeAll(g, "tail") || voz_XXflush(g) != 0)
            return "write";
        if (g->logsize != 7004) return "size " + std::to_string(g->logsize);
        return voz_XXclose(g) == 0 ? "" : "close";
    });
    ASSERT_EQ(err, "");
    EXPECT_EQ(fileSize(path + "/0000"), 3000);
    EXPECT_EQ(fileSize(path + "/0001"), 3000);
    EXPECT_EQ(fileSize(path + "/0002"), 1004);
    f = voz_XXopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(readAll(f), "head" + std::string(6996, '\0') + "tail");
    voz_XXclose(f);
}

TEST(PartitionedFile, PositionsPastTwoGigabytesWork) {
    TempDir dir;
    const std::string path = dir / "huge";
    const int64_t far = 3LL << 30;  // 3 GB, sparse on disk
    FILE_CONTROL* f = voz_XXopen(path.c_str(), "wb+");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(voz_XXseek64(f, far, 0), 0);
    ASSERT_TRUE(writeAll(f, "tail"));
    EXPECT_EQ(voz_XXtell64(f), far + 4);
    ASSERT_EQ(voz_XXclose(f), 0);
    EXPECT_EQ(fileSize(path + "/0000"), VOZ_PART_SIZE_UNKNOWN);
    EXPECT_EQ(fileSize(path + "/0001"), far + 4 - VOZ_PART_SIZE_UNKNOWN);

    f = voz_XXopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->logsize, far + 4);
    char buf[8];
    ASSERT_EQ(voz_XXseek64(f, -6, 2), 0);
    EXPECT_EQ(voz_XXtell64(f), far - 2);
    ASSERT_EQ(voz_XXread(buf, 6, 1, f), 1u);
    EXPECT_EQ(std::string(buf, 6), std::string(2, '\0') + "tail");
    ASSERT_EQ(voz_XXseek64(f, VOZ_PART_SIZE_UNKNOWN - 2, 0), 0);
    ASSERT_EQ(voz_XXread(buf, 4, 1, f), 1u);
    EXPECT_EQ(std::string(buf, 4), std::string(4, '\0'));
    voz_XXclose(f);
}

TEST(PartitionedFile, UnreadablePartIsAReadErrorNotEndOfData) {
    // Part 1 cannot be read (a directory stands in its place).  Reading
    // across it used to end quietly as end of data after part 0.
    TempDir dir;
    const std::string path = dir / "broken";
    mkdir(path.c_str(), 0770);
    ASSERT_TRUE(writeFile(path + "/0000", pattern(1000)));
    mkdir((path + "/0001").c_str(), 0770);
    FILE_CONTROL* f = voz_XXopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    char buf[1500];
    EXPECT_EQ(voz_XXread(buf, sizeof buf, 1, f), 0u);
    EXPECT_EQ(f->error, EISDIR);
    EXPECT_FALSE(voz_XXeof(f));
    EXPECT_EQ(voz_XXtell64(f), -1);  // sticky until cleared
    voz_XXclearerror(f);
    EXPECT_EQ(voz_XXtell64(f), 0);
    voz_XXclose(f);

    NAMEDFCTL rec = {};
    snprintf(rec.name, sizeof rec.name, "%s", path.c_str());
    GTRSTATUS st = {};
    ASSERT_EQ(voz_FileCtl_Open(&rec, "rb", 11, &st), 0);
    EXPECT_EQ(voz_FileCtl_Read(&rec, 500, buf, 1000, 12, &st), -1);
    EXPECT_EQ(st.retcode, VOZ_RC_READ);
    EXPECT_EQ(st.errcode, 12);
    EXPECT_EQ(std::string(st.errfname1), path);
    EXPECT_EQ(st.system_errno, EISDIR);
    voz_FileCtl_Close(&rec, 13, &st);
}

TEST(PartitionedFile, RandomOperationsAgreeWithAModel) {
    const uint32_t seed = testSeed();
    TempDir dir;
    const std::string path = dir / "model";
    std::string err = runLimited(5000, [&]() -> std::string {
        std::mt19937 rng(seed);
        std::string model;
        FILE_CONTROL* f = voz_XXopen(path.c_str(), "wb+");
        if (f == nullptr) return "open";
        int64_t pos = 0;
        for (int step = 1; step <= 1500; ++step) {
            int op = rng() % 10;
            if (op < 4) {  // write at the current position
                std::string s = pattern(1 + rng() % 6000, step);
                if (!writeAll(f, s)) return "write at step " + std::to_string(step);
                if (pos > static_cast<int64_t>(model.size())) model.resize(pos, '\0');
                model.replace(pos, std::min(s.size(), model.size() - pos), s);
                pos += s.size();
            } else if (op < 7) {  // read
                size_t want = 1 + rng() % 6000;
                std::string buf(want, '\0');
                size_t got = voz_XXread(&buf[0], 1, want, f);
                size_t expect = pos >= static_cast<int64_t>(model.size())
                                    ? 0 : std::min(want, model.size() - pos);
                if (got != expect ||
                    (got > 0 && buf.substr(0, got) != model.substr(pos, got)))
                    return "read at step " + std::to_string(step);
                pos += got;
            } else if (op < 9) {  // seek, sometimes beyond the end
                pos = rng() % (model.size() + 300);
                if (voz_XXseek64(f, pos, 0) != 0) return "seek";
            } else {  // reopen
                if (voz_XXclose(f) != 0) return "close";
                f = voz_XXopen(path.c_str(), "rb+");
                if (f == nullptr) return "reopen";
                if (f->logsize != static_cast<int64_t>(model.size()))
                    return "size after reopen at step " + std::to_string(step);
                pos = 0;
            }
            if (voz_XXtell64(f) != pos) return "tell at step " + std::to_string(step);
        }
        if (voz_XXseek64(f, 0, 0) != 0 || readAll(f) != model) return "final read";
        if (voz_XXclose(f) != 0) return "final close";
        for (int part = 0; (part + 1) * 5000 < static_cast<int>(model.size()); ++part) {
            char name[16];
            snprintf(name, sizeof name, "/%04x", part);
            if (fileSize(path + name) != 5000) return std::string("part size ") + name;
        }
        return "";
    });
    EXPECT_EQ(err, "");
}

// Reading only: random reads and seeks (forward, back into the buffer,
// back before it, from the end) over a plain file, a partitioned file of
// one part and one of three parts agree with the bytes written.
TEST(FileControl, ReadOnlySeeksAndReadsAgreeWithTheBytes) {
    const uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    TempDir dir;
    const std::string model = pattern(14000, 3);
    auto put = [](const std::string& name, const std::string& bytes) {
        FILE* out = fopen(name.c_str(), "wb");
        ASSERT_NE(out, nullptr) << name;
        ASSERT_EQ(fwrite(bytes.data(), 1, bytes.size(), out), bytes.size());
        fclose(out);
    };
    put(dir / "plain", model);
    mkdir((dir / "one").c_str(), 0770);
    put(dir / "one/0000", model);
    mkdir((dir / "three").c_str(), 0770);
    put(dir / "three/0000", model.substr(0, 5000));
    put(dir / "three/0001", model.substr(5000, 5000));
    put(dir / "three/0002", model.substr(10000));
    for (const char* name : {"plain", "one", "three"}) {
        FILE_CONTROL* f = voz_XXopen((dir / name).c_str(), "rb");
        ASSERT_NE(f, nullptr) << name;
        int64_t pos = 0;
        for (int step = 0; step < 3000; ++step) {
            int op = static_cast<int>(rng() % 8);
            if (op < 4) {
                size_t want = 1 + rng() % (op == 0 ? 9000 : 300);
                std::string buf(want, '\0');
                size_t got = voz_XXread(&buf[0], 1, want, f);
                size_t expect = pos >= static_cast<int64_t>(model.size())
                                    ? 0 : std::min(want, model.size() - pos);
                ASSERT_EQ(got, expect) << name << " step " << step;
                if (got > 0) {
                    ASSERT_EQ(buf.substr(0, got), model.substr(pos, got))
                        << name << " step " << step;
                }
                pos += static_cast<int64_t>(got);
            } else if (op < 6) {  // a short way back or forward
                int64_t to = pos + static_cast<int64_t>(rng() % 600) - 400;
                if (to < 0) to = 0;
                ASSERT_EQ(voz_XXseek64(f, to - pos, 1), 0) << name;
                pos = to;
            } else if (op < 7) {
                pos = rng() % (model.size() + 100);
                ASSERT_EQ(voz_XXseek64(f, pos, 0), 0) << name;
            } else {
                int64_t back = rng() % 200;
                ASSERT_EQ(voz_XXseek64(f, -back, 2), 0) << name;
                pos = static_cast<int64_t>(model.size()) - back;
            }
            ASSERT_EQ(voz_XXtell64(f), pos) << name << " step " << step;
        }
        EXPECT_EQ(voz_XXclose(f), 0);
    }
}

TEST(FileControl, ModesAndPlainFiles) {
    TempDir dir;
    const std::string missing = dir / "missing";
    for (const char* mode : {"r", "w", "a", "ab+", "", "rb "}) {
        EXPECT_EQ(voz_XXopen((dir / "x").c_str(), mode), nullptr) << mode;
    }
    EXPECT_EQ(voz_XXopen(missing.c_str(), "ab"), nullptr);  // no create
    EXPECT_EQ(voz_XXopen(missing.c_str(), "rb"), nullptr);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(fileSize(missing), -1);
    // A folder without part 0 (empty, or with a later part only) is no
    // file to read.
    mkdir((dir / "empty").c_str(), 0770);
    mkdir((dir / "late").c_str(), 0770);
    { std::ofstream((dir / "late/0001").c_str()) << "x"; }
    for (const char* name : {"empty", "late", "missing/deeper"}) {
        errno = 0;
        EXPECT_EQ(voz_XXopen((dir / name).c_str(), "rb"), nullptr) << name;
        EXPECT_EQ(errno, ENOENT) << name;
    }

    // Plain file: opened as a file; a directory is refused.
    const std::string plain = dir / "plain";
    FILE_CONTROL* f = voz_XXopenEx(plain.c_str(), "wb", 0);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->partdir, nullptr);
    ASSERT_TRUE(writeAll(f, "abc"));
    ASSERT_EQ(voz_XXclose(f), 0);
    f = voz_XXopen(plain.c_str(), "ab");  // an existing plain file stays plain
    ASSERT_NE(f, nullptr);
    ASSERT_TRUE(writeAll(f, "def"));
    ASSERT_EQ(voz_XXclose(f), 0);
    f = voz_XXopenEx(plain.c_str(), "rb", 0);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(readAll(f), "abcdef");
    voz_XXclose(f);
    mkdir((dir / "d").c_str(), 0770);
    EXPECT_EQ(voz_XXopenEx((dir / "d").c_str(), "rb", 0), nullptr);
    EXPECT_EQ(errno, EISDIR);
    EXPECT_EQ(voz_XXclose(nullptr), 0);
}

TEST(FileControl, AppendGoesToTheEndOfAPartitionedFile) {
    TempDir dir;
    const std::string path = dir / "app";
    FILE_CONTROL* f = voz_XXopen(path.c_str(), "wb");
    ASSERT_TRUE(writeAll(f, "12345"));
    voz_XXclose(f);
    f = voz_XXopen(path.c_str(), "ab");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(voz_XXtell64(f), 5);
    ASSERT_TRUE(writeAll(f, "678"));
    ASSERT_EQ(voz_XXseek64(f, 0, 0), 0);  // append mode writes at the end
    ASSERT_TRUE(writeAll(f, "9"));
    ASSERT_EQ(voz_XXflush(f), 0);
    EXPECT_EQ(voz_XXtell64(f), 9);
    ASSERT_EQ(voz_XXclose(f), 0);
    f = voz_XXopen(path.c_str(), "rb");
    EXPECT_EQ(readAll(f), "123456789");
    voz_XXclose(f);
}

TEST(FileControl, SwitchingBetweenReadAndWriteKeepsThePosition) {
    TempDir dir;
    for (int partition : {0, 1}) {
        const std::string path = dir / ("rw" + std::to_string(partition));
        FILE_CONTROL* f = voz_XXopenEx(path.c_str(), "wb+", partition);
        ASSERT_NE(f, nullptr);
        ASSERT_TRUE(writeAll(f, "hello world"));
        char buf[8] = {};
        // Read right after a write: the written bytes go out first.
        EXPECT_EQ(voz_XXread(buf, 1, 4, f), 0u);
        EXPECT_TRUE(voz_XXeof(f));
        ASSERT_EQ(voz_XXseek64(f, 2, 0), 0);
        ASSERT_EQ(voz_XXread(buf, 3, 1, f), 1u);
        EXPECT_EQ(std::string(buf, 3), "llo");
        ASSERT_TRUE(writeAll(f, "__"));  // at 5, not at the read buffer's end
        ASSERT_EQ(voz_XXread(buf, 2, 1, f), 1u);
        EXPECT_EQ(std::string(buf, 2), "or");
        EXPECT_EQ(voz_XXtell64(f), 9);
        ASSERT_EQ(voz_XXseek64(f, -3, 1), 0);  // back within read data
        ASSERT_EQ(voz_XXread(buf, 3, 1, f), 1u);
        EXPECT_EQ(std::string(buf, 3), "_or");
        ASSERT_EQ(voz_XXflush(f), 0);
        EXPECT_EQ(voz_XXtell64(f), 9);
        ASSERT_EQ(voz_XXseek64(f, 0, 0), 0);
        EXPECT_EQ(readAll(f), "hello__orld");
        ASSERT_EQ(voz_XXclose(f), 0);
    }
}

// A relative seek whose target does not fit 64 bits is refused, never
// computed with an overflow.
TEST(FileControl, RelativeSeekPastTheLargestPositionIsRefused) {
    TempDir dir;
    for (int partition : {0, 1}) {
        const std::string path = dir / ("far" + std::to_string(partition));
        FILE_CONTROL* f = voz_XXopenEx(path.c_str(), "wb+", partition);
        ASSERT_NE(f, nullptr);
        ASSERT_TRUE(writeAll(f, "0123456789"));
        EXPECT_EQ(voz_XXseek64(f, INT64_MAX, 1), -1);
        EXPECT_EQ(f->error, EINVAL);
        voz_XXclearerror(f);
        EXPECT_EQ(voz_XXtell64(f), 10);
        ASSERT_EQ(voz_XXclose(f), 0);
    }
}

TEST(FileControl, CallerBufferAndEof) {
    TempDir dir;
    const std::string path = dir / "buf";
    char own[16];
    FILE_CONTROL* f = voz_XXopen(path.c_str(), "wb+");
    ASSERT_NE(f, nullptr);
    voz_XXsetvbuf(f, own, 0, sizeof own);
    const std::string data = pattern(100, 9);
    ASSERT_TRUE(writeAll(f, data.substr(0, 10)));
    ASSERT_TRUE(writeAll(f, data.substr(10)));
    ASSERT_EQ(voz_XXseek64(f, 0, 0), 0);
    char got[10];
    ASSERT_EQ(voz_XXread(got, 10, 1, f), 1u);
    EXPECT_FALSE(voz_XXeof(f));
    ASSERT_EQ(voz_XXseek64(f, 95, 0), 0);
    EXPECT_EQ(voz_XXread(got, 1, 10, f), 5u);
    EXPECT_TRUE(voz_XXeof(f));
    EXPECT_EQ(std::string(got, 5), data.substr(95));
    ASSERT_EQ(voz_XXseek64(f, 0, 0), 0);
    EXPECT_FALSE(voz_XXeof(f));
    EXPECT_EQ(readAll(f), data);
    ASSERT_EQ(voz_XXclose(f), 0);
}

TEST(FileControl, RemoveTakesPartsAndDirectory) {
    TempDir dir;
    const std::string path = dir / "gone";
    FILE_CONTROL* f = voz_XXopen(path.c_str(), "wb");
    ASSERT_TRUE(writeAll(f, "x"));
    voz_XXclose(f);
    ASSERT_TRUE(writeFile(path + "/0001", "y"));
    EXPECT_EQ(voz_XXremove(path.c_str()), 0);
    EXPECT_EQ(voz_access(path.c_str()), -1);
    EXPECT_NE(voz_XXremove(path.c_str()), 0);
    EXPECT_EQ(errno, ENOENT);

    EXPECT_EQ(mkTreeDir((dir / "p/q/r").c_str()), 0);
    EXPECT_EQ(voz_access((dir / "p/q/r").c_str()), 0);
    EXPECT_EQ(mkTreeDir((dir / "p/q/r").c_str()), 0);  // existing is fine
}

TEST(NamedFile, EveryFailingCallFillsTheStatus) {
    TempDir dir;
    const std::string existing = dir / "exists";
    FILE_CONTROL* f = voz_XXopen(existing.c_str(), "wb");
    ASSERT_TRUE(writeAll(f, pattern(100)));
    voz_XXclose(f);
    const std::string notEmpty = dir / "full";
    mkTreeDir((notEmpty + "/sub").c_str());
    ASSERT_TRUE(writeFile(notEmpty + "/sub/file", "x"));
    std::string longName = dir.operator/("");
    while (longName.size() < 700) longName += "component/";
    longName += "last";

    struct Case {
        const char* what;
        std::string name;
        std::function<void(NAMEDFCTL*, GTRSTATUS*)> act;
        int32_t rc, reason, sysErrno;
    } cases[] = {
        {"open of a missing file", dir / "none",
         [](NAMEDFCTL* r, GTRSTATUS* st) { voz_FileCtl_Open(r, "rb", 101, st); },
         VOZ_RC_OPEN, 101, ENOENT},
        {"open of a long missing name", longName,
         [](NAMEDFCTL* r, GTRSTATUS* st) { voz_FileCtl_Open(r, "rb", 102, st); },
         VOZ_RC_OPEN, 102, ENOENT},
        {"read past the end", existing,
         [](NAMEDFCTL* r, GTRSTATUS* st) {
             char b[50];
             voz_FileCtl_Open(r, "rb", 1, st);
             voz_FileCtl_Read(r, 80, b, 50, 103, st);
         },
         VOZ_RC_READ, 103, 0},
        {"seek out of range", existing,
         [](NAMEDFCTL* r, GTRSTATUS* st) {
             char b[1];
             voz_FileCtl_Open(r, "rb", 1, st);
             voz_FileCtl_Read(r, INT64_MAX, b, 1, 104, st);
         },
         VOZ_RC_SEEK, 104, EINVAL},
        {"write to a read-only file", existing,
         [](NAMEDFCTL* r, GTRSTATUS* st) {
             std::string big(5000, 'w');
             voz_FileCtl_Open(r, "rb", 1, st);
             voz_FileCtl_Write(r, big.data(), big.size(), 105, st);
         },
         VOZ_RC_WRITE, 105, EBADF},
        {"close that flushes into a read-only file", existing,
         [](NAMEDFCTL* r, GTRSTATUS* st) {
             voz_FileCtl_Open(r, "rb", 1, st);
             voz_FileCtl_Write(r, "abc", 3, 1, st);  // buffered
             voz_FileCtl_Close(r, 106, st);
         },
         VOZ_RC_CLOSE, 106, EBADF},
        {"remove of a directory that holds a directory", notEmpty,
         [](NAMEDFCTL* r, GTRSTATUS* st) { voz_FileCtl_Remove(r, 107, st); },
         VOZ_RC_REMOVE, 107, ENOTEMPTY},
    };
    for (auto& c : cases) {
        NAMEDFCTL rec = {};
        snprintf(rec.name, sizeof rec.name, "%s", c.name.c_str());
        GTRSTATUS st = {};
        c.act(&rec, &st);
        EXPECT_EQ(st.retcode, c.rc) << c.what;
        EXPECT_EQ(st.errcode, c.reason) << c.what;
        EXPECT_EQ(st.system_errno, c.sysErrno) << c.what;
        char expectName[VOZ_STATUS_NAME_LEN];
        voz_StatusName(expectName, c.name.c_str());
        EXPECT_STREQ(st.errfname1, expectName) << c.what;
        EXPECT_LT(strlen(st.errfname1), VOZ_STATUS_NAME_LEN) << c.what;
        if (rec.fctl != nullptr) voz_XXclose(rec.fctl);
    }
    char shortened[VOZ_STATUS_NAME_LEN];
    voz_StatusName(shortened, longName.c_str());
    EXPECT_EQ(std::string(shortened).substr(0, 4), ".../");
}

TEST(NamedFile, ReadPositionsAndCloseKeepsTheFirstError) {
    TempDir dir;
    NAMEDFCTL rec = {};
    snprintf(rec.name, sizeof rec.name, "%s", (dir / "n").c_str());
    GTRSTATUS st = {};
    ASSERT_EQ(voz_FileCtl_Open(&rec, "wb+", 1, &st), 0);
    EXPECT_EQ(voz_FileCtl_Opened(&rec), 1);
    EXPECT_EQ(voz_FileCtl_Write(&rec, "0123456789", 10, 2, &st), 10);
    EXPECT_EQ(voz_FileCtl_Read(&rec, VOZ_FILECTL_END, nullptr, 0, 3, &st), 10);
    char b[4];
    EXPECT_EQ(voz_FileCtl_Read(&rec, 2, b, 3, 4, &st), 5);
    EXPECT_EQ(std::string(b, 3), "234");
    EXPECT_EQ(voz_FileCtl_Read(&rec, -1, b, 2, 5, &st), 7);  // current offset
    EXPECT_EQ(std::string(b, 2), "56");
    EXPECT_EQ(st.retcode, 0);

    // A failing close does not overwrite an earlier failure.
    FILE_CONTROL* ro = voz_XXopen(rec.name, "rb");
    ASSERT_NE(ro, nullptr);
    ASSERT_TRUE(writeAll(ro, "zz"));
    voz_setStatus(&st, VOZ_RC_READ, 77, "earlier", 1);
    EXPECT_EQ(voz_fclose(ro, "later", 88, &st), -1);
    EXPECT_EQ(st.errcode, 77);
    EXPECT_EQ(voz_fclose(nullptr, "x", 1, &st), 0);

    GTRSTATUS clean = {};
    EXPECT_EQ(voz_FileCtl_Close(&rec, 9, &clean), 0);
    EXPECT_EQ(voz_FileCtl_Opened(&rec), 0);
    EXPECT_EQ(rec.offset, 0);
    EXPECT_EQ(voz_FileCtl_Remove(&rec, 10, &clean), 0);
    EXPECT_EQ(voz_access(rec.name), -1);
    NAMEDFCTL unnamed = {};
    EXPECT_EQ(voz_FileCtl_Remove(&unnamed, 11, &clean), 0);
    EXPECT_EQ(clean.retcode, 0);
}
