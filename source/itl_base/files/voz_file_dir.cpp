// voz_file_dir.cpp - removal of engine files (partitioned ones are
// directories of parts), recursive directory creation and small file-system
// queries of the engine's storage.
#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "files/voz_file.hpp"

int voz_XXremove(const char* path) {
    int rc = remove(path);
    if (rc == 0) return 0;
    int saved = errno;
    struct stat sb;
    if (stat(path, &sb) != 0 || !S_ISDIR(sb.st_mode)) {
        errno = saved;
        return rc;
    }
    DIR* d = opendir(path);
    if (d == nullptr) return -1;
    std::string name;
    rc = 0;
    while (struct dirent* e = readdir(d)) {
        if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) {
            continue;
        }
        name.assign(path).append("/").append(e->d_name);
        int r = remove(name.c_str());
        if (r != 0 && rc == 0) {
            rc = r;
            saved = errno;
        }
    }
    closedir(d);
    if (rc != 0) {
        errno = saved;
        return rc;
    }
    return rmdir(path);
}

int voz_XXremoveFile(const char* path) { return voz_XXremove(path); }

int mkTreeDir(const char* path) {
    std::string prefix;
    for (const char* p = path; *p != '\0'; ++p) {
        prefix.push_back(*p);
        if (*p == '/' || *p == '\\') mkdir(prefix.c_str(), 0770);
    }
    mkdir(path, 0770);
    struct stat sb;
    return stat(path, &sb) == 0 && S_ISDIR(sb.st_mode) ? 0 : -1;
}

int voz_access(const char* path, int mode) {
    (void)mode;
    struct stat sb;
    return stat(path, &sb) == 0 ? 0 : -1;
}

int voz_readdir_r(DIR* dir, struct dirent* entry, struct dirent** result) {
    // The engine has no threads: readdir() with a copy serves.
    errno = 0;
    struct dirent* e = readdir(dir);
    if (e == nullptr) {
        *result = nullptr;
        return errno;
    }
    memcpy(entry, e, sizeof *entry);
    *result = entry;
    return 0;
}
