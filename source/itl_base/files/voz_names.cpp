// voz_names.cpp - the file-set descriptor _FCTLHEAD and the name of every
// file of an index half and set (voz_IDXgetFname).
//
// Name words, written into every index on disk: never change them.
//   file prefix "voz.", stop-word extension "STP", subdirectories "main",
//   "supp", "del", deleted-document files "Main.DEL", "Supp.DEL"; file type
//   extensions (type word & 7): EY OS SB ND LF SC NC LC.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "files/voz_names.hpp"
#include "files/voz_status.hpp"

namespace {

const char* const kExtentNext[8] = {"EY", "OS", "SB", "ND",
                                    "LF", "SC", "NC", "LC"};
const char* const kSubdirOverride[4] = {"", "#", "%", "#"};
const char* const kSubdirName[2] = {"main", "supp"};
const char* const kDeleteExtent[2] = {"Main.DEL", "Supp.DEL"};
constexpr const char* kFilePrefix = "voz.";
constexpr const char* kStopwordExtent = "STP";

// Copies `src` into the field `dst` of `cap` bytes; false when it does
// not fit.
bool copyField(char* dst, size_t cap, const char* src, size_t len) {
    if (len >= cap) return false;
    memcpy(dst, src, len);
    dst[len] = '\0';
    return true;
}

// Base directory of a file: the alternate directory when set and switched
// on for this file, "/" taken as "".
const char* baseDirectory(const _FCTLHEAD* fs, int type) {
    char use = type == 0 ? fs->altUse[0] : fs->altUse[1];
    const char* dir = (fs->altDirectory[0] != '\0' && use == 'Y')
                          ? fs->altDirectory
                          : fs->directory;
    return strcmp(dir, "/") == 0 ? "" : dir;
}

}  // namespace

int voz_SetFctlForRead(_FCTLHEAD* fs, const char* indexName,
                       const char* dirSpec, int half, int set,
                       const char* letters, const char* prefix,
                       GTRSTATUS* st) {
    memset(fs, 0, sizeof *fs);
    if (indexName == nullptr) indexName = "";
    if (dirSpec == nullptr) dirSpec = "";
    if (prefix == nullptr) prefix = "";
    const char* tab = strchr(dirSpec, '\t');
    size_t dirLen = tab != nullptr ? static_cast<size_t>(tab - dirSpec)
                                   : strlen(dirSpec);
    if (!copyField(fs->directory, sizeof fs->directory, dirSpec, dirLen)) {
        voz_setStatus(st, VOZ_RC_PATH_TOO_LONG, 238);
        return -1;
    }
    if (tab != nullptr && !copyField(fs->altDirectory, sizeof fs->altDirectory,
                                     tab + 1, strlen(tab + 1))) {
        voz_setStatus(st, VOZ_RC_PATH_TOO_LONG, 239);
        return -1;
    }
    if (!copyField(fs->indexName, sizeof fs->indexName, indexName,
                   strlen(indexName))) {
        voz_setStatus(st, VOZ_RC_PATH_TOO_LONG, 243);
        return -1;
    }
    if (!copyField(fs->subdirPrefix, sizeof fs->subdirPrefix, prefix,
                   strlen(prefix))) {
        voz_setStatus(st, VOZ_RC_PATH_TOO_LONG, 244);
        return -1;
    }
    fs->fileType = half == 0 ? VOZ_HALF_MAIN : VOZ_HALF_SUPP;
    fs->setIndex = static_cast<int8_t>(set);
    for (size_t i = 0; letters != nullptr && i < sizeof fs->generation &&
                       letters[i] != '\0';
         ++i) {
        fs->generation[i] = letters[i];
    }
    return 0;
}

int voz_IDXgetFname(char* buffer, const _FCTLHEAD* fs, uint16_t typeWord) {
    const size_t cap = VOZ_FNAME_LEN;
    int type = typeWord & 7;
    const char* dir = baseDirectory(fs, type);
    const char* idx = fs->indexName;
    int kind = fs->fileType;
    if (kind == 2 || kind == 3) typeWord |= VOZ_FT_PREFIX_HASH;
    if (kind == 4 || kind == 5) typeWord |= VOZ_FT_PREFIX_PCT;

    // The prefix with its first characters replaced by the override.
    char prefix[VOZ_SUBDIR_PREFIX_LEN];
    memcpy(prefix, fs->subdirPrefix, sizeof prefix);
    prefix[sizeof prefix - 1] = '\0';
    const char* over = kSubdirOverride[(typeWord & 0xC0) >> 6];
    size_t overLen = strlen(over);
    if (overLen > 0 && strlen(prefix) >= overLen) memcpy(prefix, over, overLen);

    if (type == 7) {
        return snprintf(buffer, cap, "%s/%s/%s%s", dir, idx, kFilePrefix,
                        kStopwordExtent);
    }
    if (typeWord & VOZ_FT_DELETED) {
        if (typeWord & VOZ_FT_DIR) {
            return snprintf(buffer, cap, "%s/%s/%s%s", dir, idx, prefix,
                            "del");
        }
        return snprintf(buffer, cap, "%s/%s/%sdel/%s", dir, idx, prefix,
                        kDeleteExtent[kind & 1]);
    }
    int set = fs->setIndex != 0 ? 1 : 0;
    char letter = fs->generation[2 * set + (type == 0 ? 0 : 1)];
    if (kind >= 7) {
        return snprintf(buffer, cap, "%s/%s.%c%02d", dir, idx, letter,
                        kind - 7);
    }
    if (kind == 6) {
        return snprintf(buffer, cap, "%s/%s.%c%c%c", dir, idx, letter, letter,
                        letter);
    }
    bool control = (typeWord & VOZ_FT_CONTROL) != 0;
    if (type >= 2 && type <= 4 && !control) {
        if (typeWord & VOZ_FT_DIR) {
            return snprintf(buffer, cap, "%s/%s", dir, idx);
        }
        return snprintf(buffer, cap, "%s/%s/%s%c%s", dir, idx, kFilePrefix,
                        letter, kExtentNext[type]);
    }
    const char* sub = kSubdirName[kind & 1];
    if (typeWord & VOZ_FT_DIR) {
        return snprintf(buffer, cap, "%s/%s/%s%s", dir, idx, prefix, sub);
    }
    const char* ext = kExtentNext[control && type + 3 < 8 ? type + 3 : type];
    return snprintf(buffer, cap, "%s/%s/%s%s/%s%c%s", dir, idx, prefix, sub,
                    kFilePrefix, letter, ext);
}

int voz_IDXfileExistence(const _FCTLHEAD* fs, uint16_t type) {
    char name[VOZ_FNAME_LEN];
    struct stat sb;
    if (type == VOZ_FT_POS && (fs->flags & VOZ_FCTL_BTREE)) {
        static const uint16_t kBlockFiles[] = {VOZ_FT_SHARED, VOZ_FT_BRANCH,
                                               VOZ_FT_LEAF};
        for (uint16_t t : kBlockFiles) {
            if (voz_IDXgetFname(name, fs, t) >= static_cast<int>(sizeof name) ||
                stat(name, &sb) != 0) {
                return -1;
            }
        }
        return 0;
    }
    if (voz_IDXgetFname(name, fs, type) >= static_cast<int>(sizeof name)) {
        return -1;
    }
    return stat(name, &sb) == 0 ? 0 : -1;
}
