/* simpleindex.c: indexes every file below one or more folders.
 *
 *   simpleindex <index-dir> <folder>...
 *
 * The index "index" in <index-dir> is made on the first run. Each file
 * becomes one document named by its path relative to its folder, parsed
 * as HTML (.html, .htm, .xhtml), XML (.xml) or TEXT (anything else), with
 * a NUMBER attribute "size" (bytes) and a DATE attribute "modified". Files
 * that hold a zero byte in their first 4 KiB are skipped as binary.
 *
 * A later run indexes again the files modified since the previous run
 * began, removes the documents whose files are gone (the names come from
 * the index itself), and merges the index when the library recommends it.
 * The index cannot hand a document's attributes back, so the start time of
 * the last successful run is kept in <index-dir>/simpleindex.state, with
 * the folders, which simplesearch reads to find the files again.
 *
 * Progress goes to standard error at most once a second. Exit codes: 0
 * success, 1 a failed call, 2 usage. */
#define _XOPEN_SOURCE 700
#include <dirent.h>
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <time.h>

#include "itl_api.h"

/* Documents per transaction: a failing document costs a retry of its batch
 * without it, so batches stay small enough to redo. */
#define BATCH_DOCUMENTS 1000

static char const kIndexName[] = "index";
static char const kTemplate[] =
    "[IndexId]\nVersion = 4.6\n[Index]\nRespectCase = OFF\n"
    "[IndexV4]\nBlockMode = OFF\n";

typedef struct {
  char* name; /* name of the document, relative to its folder */
  char* path; /* the file */
} Entry;

typedef struct {
  Entry* items;
  size_t count;
  size_t capacity;
} EntryList;

/* Names the index holds, sorted, with a flag set when the file is seen. */
typedef struct {
  char** names;
  unsigned char* seen;
  size_t count;
} Known;

typedef struct {
  ItlTyErrorInfoHandle errorInfo;
  ItlTyContextHandle context;
  ItlTyIndexHandle index;
  double since;        /* start of the last successful run, 0: none */
  Known known;
  unsigned long indexed, removed, unchanged, skipped;
  double bytes;
  double started;
  double lastProgress;
} Run;

static double now(void) {
  struct timespec t;
  clock_gettime(CLOCK_REALTIME, &t);
  return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

static double monotonic(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

static void* xmalloc(size_t n) {
  void* p = malloc(n != 0 ? n : 1);
  if (p == NULL) {
    fprintf(stderr, "simpleindex: out of memory\n");
    exit(1);
  }
  return p;
}

static char* xstrdup(char const* s) {
  size_t n = strlen(s) + 1;
  char* p = (char*)xmalloc(n);
  memcpy(p, s, n);
  return p;
}

/* Prints what failed and the library's error text; returns 1. */
static int fail(Run* run, char const* what) {
  char const* context = itlErrorInfoGetContext(run->errorInfo);
  char const* reason = itlErrorInfoGetReasonCodeAsCString(run->errorInfo);
  fprintf(stderr, "\nsimpleindex: %s failed: reason %d (%s)%s%s\n", what,
          (int)itlErrorInfoGetReasonCode(run->errorInfo),
          reason != NULL ? reason : "?",
          context != NULL && context[0] != '\0' ? ": " : "",
          context != NULL ? context : "");
  return 1;
}

static void progress(Run* run, int last) {
  double t = monotonic();
  double elapsed;
  if (!last && t - run->lastProgress < 1.0) return;
  run->lastProgress = t;
  elapsed = t - run->started;
  fprintf(stderr, "\rdocuments %lu, %.1f MB, %.1f MB/s   ", run->indexed,
          run->bytes / 1e6,
          elapsed > 0 ? run->bytes / 1e6 / elapsed : 0.0);
  if (last) fputc('\n', stderr);
}

static void addEntry(EntryList* list, char const* name, char const* path) {
  if (list->count == list->capacity) {
    Entry* grown;
    list->capacity = list->capacity != 0 ? list->capacity * 2 : 256;
    grown = (Entry*)realloc(list->items, list->capacity * sizeof(Entry));
    if (grown == NULL) {
      fprintf(stderr, "simpleindex: out of memory\n");
      exit(1);
    }
    list->items = grown;
  }
  list->items[list->count].name = xstrdup(name);
  list->items[list->count].path = xstrdup(path);
  ++list->count;
}

static void clearEntries(EntryList* list) {
  size_t i;
  for (i = 0; i < list->count; ++i) {
    free(list->items[i].name);
    free(list->items[i].path);
  }
  list->count = 0;
}

static int compareNames(void const* a, void const* b) {
  return strcmp(*(char* const*)a, *(char* const*)b);
}

/* ---- state kept beside the index --------------------------------------- */

static void statePath(char const* indexDir, char* out, size_t size) {
  snprintf(out, size, "%s/simpleindex.state", indexDir);
}

/* Reads the start time of the last successful run (0 when none). */
static double readSince(char const* indexDir) {
  char path[PATH_MAX];
  double since = 0;
  FILE* f;
  statePath(indexDir, path, sizeof path);
  f = fopen(path, "r");
  if (f == NULL) return 0;
  if (fscanf(f, "started %lf", &since) != 1) since = 0;
  fclose(f);
  return since;
}

/* Writes the state through a temporary file and a rename, so that a
 * reader finds the old state or the new one. */
static int writeState(char const* indexDir, double started, int folders,
                      char** folder) {
  char path[PATH_MAX], temporary[PATH_MAX + 8];
  FILE* f;
  int i, ok;
  statePath(indexDir, path, sizeof path);
  snprintf(temporary, sizeof temporary, "%s.new", path);
  f = fopen(temporary, "w");
  if (f == NULL) return 0;
  fprintf(f, "started %.6f\n", started);
  for (i = 0; i < folders; ++i) {
    char absolute[PATH_MAX];
    fprintf(f, "folder %s\n",
            realpath(folder[i], absolute) != NULL ? absolute : folder[i]);
  }
  ok = fflush(f) == 0;
  ok = fclose(f) == 0 && ok;
  return ok && rename(temporary, path) == 0;
}

/* ---- what the index holds ---------------------------------------------- */

/* Collects the names of the documents of the index: document numbers are
 * walked upward until every document is found. */
static int collectKnown(Run* run) {
  ItlTyIndexSearchHandle search = NULL;
  uint64_t count = 0, found = 0;
  ItlTyDocumentNumber number;
  int rc = itlIndexObtainNumberOfDocuments(run->index, &count);
  if (rc >= 8) return fail(run, "itlIndexObtainNumberOfDocuments");
  if (count == 0) return 0;
  rc = itlHandleNewIndexSearch(run->index, &search);
  if (rc >= 8) return fail(run, "itlHandleNewIndexSearch");
  run->known.names = (char**)xmalloc((size_t)count * sizeof(char*));
  for (number = 1; found < count && number <= 2147483646u; ++number) {
    ItlStDocumentId id;
    char* name;
    if (itlDocMapNumberToId(search, number, &id) != 0) continue;
    name = (char*)xmalloc((size_t)id.usDocIdLength + 1);
    memcpy(name, id.pszDocId, id.usDocIdLength);
    name[id.usDocIdLength] = '\0';
    run->known.names[found++] = name;
  }
  itlHandleDeleteIndexSearch(&search);
  run->known.count = (size_t)found;
  run->known.seen = (unsigned char*)xmalloc(run->known.count);
  memset(run->known.seen, 0, run->known.count);
  qsort(run->known.names, run->known.count, sizeof(char*), compareNames);
  return 0;
}

/* Marks `name` seen; true when the index holds it. */
static int markKnown(Run* run, char const* name) {
  char** hit;
  if (run->known.count == 0) return 0;
  hit = (char**)bsearch(&name, run->known.names, run->known.count,
                        sizeof(char*), compareNames);
  if (hit == NULL) return 0;
  run->known.seen[hit - run->known.names] = 1;
  return 1;
}

/* ---- one transaction ----------------------------------------------------- */

static ItlEnDocumentFormat formatOf(char const* path) {
  char const* dot = strrchr(path, '.');
  char const* slash = strrchr(path, '/');
  if (dot == NULL || (slash != NULL && dot < slash)) return ItlEnDocumentFormat_Text;
  if (strcasecmp(dot, ".html") == 0 || strcasecmp(dot, ".htm") == 0 ||
      strcasecmp(dot, ".xhtml") == 0)
    return ItlEnDocumentFormat_Html;
  if (strcasecmp(dot, ".xml") == 0) return ItlEnDocumentFormat_Xml;
  return ItlEnDocumentFormat_Text;
}

/* Reads the whole file; NULL when it cannot be read. */
static char* readFile(char const* path, size_t* length) {
  FILE* f = fopen(path, "rb");
  char* bytes;
  size_t capacity = 65536, used = 0, n;
  if (f == NULL) return NULL;
  bytes = (char*)xmalloc(capacity);
  while ((n = fread(bytes + used, 1, capacity - used, f)) > 0) {
    used += n;
    if (used == capacity) {
      char* grown;
      capacity *= 2;
      grown = (char*)realloc(bytes, capacity);
      if (grown == NULL) {
        free(bytes);
        fclose(f);
        return NULL;
      }
      bytes = grown;
    }
  }
  if (ferror(f)) {
    free(bytes);
    fclose(f);
    return NULL;
  }
  fclose(f);
  *length = used;
  return bytes;
}

/* Indexes one document into the open transaction. Returns the return code
 * of the first call that failed (>= 8), else 0; *call names it. */
static int indexDocument(Run* run, ItlTyIndexUpdateHandle update,
                         ItlTyDocumentIDHandle id, Entry const* entry,
                         char const* bytes, size_t length,
                         struct stat const* info, char const** call) {
  struct tm day;
  time_t modified = info->st_mtime;
  ItlTyCCSID ccsid = 0;
  int rc;
  (void)run;
  gmtime_r(&modified, &day);
  *call = "itlDocumentIDSetName";
  rc = itlDocumentIDSetName(id, entry->name, (uint32_t)strlen(entry->name));
  if (rc >= 8) return rc;
  *call = "itlIndexUpdateSetNumberAttribute";
  rc = itlIndexUpdateSetNumberAttribute(update, id, "size",
                                        (double)info->st_size);
  if (rc >= 8) return rc;
  *call = "itlIndexUpdateSetDateAttribute";
  rc = itlIndexUpdateSetDateAttribute(update, id, "modified",
                                      (uint16_t)day.tm_mday,
                                      (uint16_t)(day.tm_mon + 1),
                                      (uint16_t)(day.tm_year + 1900));
  if (rc >= 8) return rc;
  *call = "itlIndexUpdateDocument";
  rc = itlIndexUpdateDocument(update, id, formatOf(entry->path), NULL,
                              bytes != NULL ? bytes : "", (uint32_t)length,
                              &ccsid, "en_US");
  return rc >= 8 ? rc : 0;
}

/* Runs one transaction over `batch` (documents to index) and, when
 * `removals` is set, the removal of every known name not seen. A document
 * the library refuses is reported and dropped, and the transaction is run
 * again without it. Returns 0, or 1 after a failed call. */
static int commitBatch(Run* run, EntryList* batch, int removals) {
  for (;;) {
    ItlTyIndexUpdateHandle update = NULL;
    ItlTyDocumentIDHandle id = NULL;
    size_t i, failed = (size_t)-1, done = 0;
    unsigned long removed = 0;
    double bytes = 0;
    char const* call = NULL;
    int rc = itlHandleNewIndexUpdate(run->index, &update);
    if (rc >= 8) return fail(run, "itlHandleNewIndexUpdate");
    rc = itlHandleNewDocumentID(run->index, &id);
    if (rc >= 8) {
      itlHandleDeleteIndexUpdate(&update);
      return fail(run, "itlHandleNewDocumentID");
    }
    for (i = 0; i < batch->count; ++i) {
      struct stat info;
      size_t length = 0;
      char* content;
      if (stat(batch->items[i].path, &info) != 0 ||
          (content = readFile(batch->items[i].path, &length)) == NULL) {
        fprintf(stderr, "\nsimpleindex: %s: %s (skipped)\n",
                batch->items[i].path, strerror(errno));
        ++run->skipped;
        continue;
      }
      rc = indexDocument(run, update, id, &batch->items[i], content, length,
                         &info, &call);
      free(content);
      if (rc >= 8) {
        failed = i;
        break;
      }
      ++done;
      bytes += (double)length;
      run->bytes += (double)length;
      ++run->indexed;
      progress(run, 0);
    }
    if (failed == (size_t)-1 && removals) {
      size_t k;
      for (k = 0; k < run->known.count && rc < 8; ++k) {
        char const* name = run->known.names[k];
        if (run->known.seen[k]) continue;
        call = "itlDocumentIDSetName";
        rc = itlDocumentIDSetName(id, name, (uint32_t)strlen(name));
        if (rc < 8) {
          call = "itlIndexUpdateRemoveDocument";
          rc = itlIndexUpdateRemoveDocument(update, id);
        }
        if (rc < 8) ++removed;
      }
      if (rc >= 8) {
        itlIndexUpdateRollback(update);
        itlHandleDeleteDocumentID(&id);
        itlHandleDeleteIndexUpdate(&update);
        return fail(run, call);
      }
    }
    if (failed != (size_t)-1) {
      /* Report the document, drop it and run the batch again. */
      char what[PATH_MAX + 64];
      snprintf(what, sizeof what, "%s of %s", call, batch->items[failed].path);
      fail(run, what);
      fprintf(stderr, "simpleindex: the file is skipped\n");
      itlIndexUpdateRollback(update);
      itlHandleDeleteDocumentID(&id);
      itlHandleDeleteIndexUpdate(&update);
      run->indexed -= (unsigned long)done;
      run->bytes -= bytes;
      ++run->skipped;
      free(batch->items[failed].name);
      free(batch->items[failed].path);
      memmove(batch->items + failed, batch->items + failed + 1,
              (batch->count - failed - 1) * sizeof(Entry));
      --batch->count;
      continue;
    }
    if (itlIndexUpdateIsPending(update)) {
      rc = itlIndexUpdateProcess(update);
      if (rc >= 8) call = "itlIndexUpdateProcess";
      if (rc < 8) {
        rc = itlIndexUpdateCommit(update);
        if (rc >= 8) call = "itlIndexUpdateCommit";
      }
      if (rc >= 8) {
        int result = fail(run, call);
        itlIndexUpdateRollback(update);
        itlHandleDeleteDocumentID(&id);
        itlHandleDeleteIndexUpdate(&update);
        return result;
      }
    }
    itlHandleDeleteDocumentID(&id);
    itlHandleDeleteIndexUpdate(&update);
    run->removed += removed;
    clearEntries(batch);
    return 0;
  }
}

/* ---- the walk ------------------------------------------------------------- */

static int isBinary(char const* path) {
  unsigned char head[4096];
  size_t n, i;
  FILE* f = fopen(path, "rb");
  if (f == NULL) return 0; /* reported when it is read */
  n = fread(head, 1, sizeof head, f);
  fclose(f);
  for (i = 0; i < n; ++i)
    if (head[i] == 0) return 1;
  return 0;
}

/* Walks `directory` (`relative` below its folder, "" at the top) in name
 * order, adding the files to index to `batch` and committing full batches. */
static int walk(Run* run, EntryList* batch, char const* directory,
                char const* relative) {
  struct dirent** entries = NULL;
  int n = scandir(directory, &entries, NULL, alphasort);
  int i, result = 0;
  if (n < 0) {
    fprintf(stderr, "\nsimpleindex: %s: %s (skipped)\n", directory,
            strerror(errno));
    return 0;
  }
  for (i = 0; i < n; ++i) {
    char path[PATH_MAX], name[PATH_MAX];
    struct stat info;
    char const* entry = entries[i]->d_name;
    if (result != 0 || strcmp(entry, ".") == 0 || strcmp(entry, "..") == 0)
      continue;
    snprintf(path, sizeof path, "%s/%s", directory, entry);
    snprintf(name, sizeof name, "%s%s%s", relative, relative[0] ? "/" : "",
             entry);
    if (lstat(path, &info) != 0) continue;
    /* Links to files are indexed; links to folders are not followed, so
     * that a loop cannot hold the walk. */
    if (S_ISLNK(info.st_mode) &&
        (stat(path, &info) != 0 || S_ISDIR(info.st_mode)))
      continue;
    if (S_ISDIR(info.st_mode)) {
      result = walk(run, batch, path, name);
      continue;
    }
    if (!S_ISREG(info.st_mode)) continue;
    if (isBinary(path)) {
      ++run->skipped;
      continue;
    }
    {
      double modified = (double)info.st_mtim.tv_sec +
                        (double)info.st_mtim.tv_nsec / 1e9;
      if (markKnown(run, name) && modified < run->since) {
        ++run->unchanged;
        continue;
      }
    }
    addEntry(batch, name, path);
    if (batch->count >= BATCH_DOCUMENTS) result = commitBatch(run, batch, 0);
  }
  for (i = 0; i < n; ++i) free(entries[i]);
  free(entries);
  return result;
}

/* ---- index set-up and merge ------------------------------------------------ */

static int createIndex(Run* run, char const* indexDir) {
  char templ[PATH_MAX];
  FILE* f;
  int rc;
  snprintf(templ, sizeof templ, "%s/simpleindex.ini.t", indexDir);
  f = fopen(templ, "w");
  if (f == NULL || fputs(kTemplate, f) < 0 || fclose(f) != 0) {
    fprintf(stderr, "simpleindex: cannot write %s: %s\n", templ,
            strerror(errno));
    return 1;
  }
  rc = itlIndexCreate(run->index, templ);
  remove(templ);
  if (rc >= 8) return fail(run, "itlIndexCreate");
  /* Paths below a folder may be long: allow names of up to 1024 bytes. */
  if (itlIndexLoad(run->index) >= 8) return fail(run, "itlIndexLoad");
  if (itlConfigFileSetMaxDocIDLength(1024, run->index) >= 8)
    return fail(run, "itlConfigFileSetMaxDocIDLength");
  if (itlConfigFileWriteAsR3File(run->index) >= 8)
    return fail(run, "itlConfigFileWriteAsR3File");
  return 0;
}

static int mergeIfRecommended(Run* run) {
  bool recommended = false;
  ItlTyIndexMergeHandle merge = NULL;
  if (itlIndexObtainMergeIsRecommended(run->index, &recommended) >= 8)
    return fail(run, "itlIndexObtainMergeIsRecommended");
  if (!recommended) return 0;
  fprintf(stderr, "merging the index\n");
  if (itlHandleNewIndexMerge(run->index, &merge) >= 8)
    return fail(run, "itlHandleNewIndexMerge");
  if (itlIndexMergeProcess(merge) >= 8) {
    int result = fail(run, "itlIndexMergeProcess");
    itlIndexMergeRollback(merge);
    itlHandleDeleteIndexMerge(&merge);
    return result;
  }
  if (itlIndexMergeCommit(merge) >= 8) {
    int result = fail(run, "itlIndexMergeCommit");
    itlIndexMergeRollback(merge);
    itlHandleDeleteIndexMerge(&merge);
    return result;
  }
  itlHandleDeleteIndexMerge(&merge);
  return 0;
}

static int runIndex(Run* run, char const* indexDir, int folders,
                    char** folder) {
  EntryList batch = {NULL, 0, 0};
  double started = now();
  uint64_t count = 0;
  int i, result;
  if (!itlIndexIsExistent(run->index)) {
    result = createIndex(run, indexDir);
    if (result != 0) return result;
  } else {
    run->since = readSince(indexDir);
    result = collectKnown(run);
    if (result != 0) return result;
  }
  run->started = monotonic();
  run->lastProgress = run->started;
  for (i = 0; i < folders && result == 0; ++i) {
    struct stat info;
    if (stat(folder[i], &info) != 0 || !S_ISDIR(info.st_mode)) {
      fprintf(stderr, "simpleindex: %s is no folder\n", folder[i]);
      result = 1;
      break;
    }
    result = walk(run, &batch, folder[i], "");
  }
  if (result == 0) result = commitBatch(run, &batch, 1);
  clearEntries(&batch);
  free(batch.items);
  progress(run, 1);
  if (result != 0) return result;
  result = mergeIfRecommended(run);
  if (result != 0) return result;
  if (!writeState(indexDir, started, folders, folder)) {
    fprintf(stderr, "simpleindex: cannot write the state file in %s: %s\n",
            indexDir, strerror(errno));
    return 1;
  }
  itlIndexObtainNumberOfDocuments(run->index, &count);
  fprintf(stderr,
          "%lu indexed, %lu unchanged, %lu removed, %lu skipped; "
          "%llu documents in the index\n",
          run->indexed, run->unchanged, run->removed, run->skipped,
          (unsigned long long)count);
  return 0;
}

int main(int argc, char** argv) {
  Run run;
  int result;
  size_t i;
  if (argc < 3) {
    fprintf(stderr, "usage: simpleindex <index-dir> <folder>...\n");
    return 2;
  }
  memset(&run, 0, sizeof run);
  if (mkdir(argv[1], 0777) != 0 && errno != EEXIST) {
    fprintf(stderr, "simpleindex: cannot make %s: %s\n", argv[1],
            strerror(errno));
    return 1;
  }
  if (itlHandleNewErrorInfo(&run.errorInfo) != 0 ||
      itlHandleNewContext(&run.context, run.errorInfo) != 0) {
    fprintf(stderr, "simpleindex: the library cannot start\n");
    return 1;
  }
  if (itlHandleNewIndex(run.context, kIndexName, argv[1], &run.index) >= 8)
    result = fail(&run, "itlHandleNewIndex");
  else if (itlIndexSetWorkingDirectory(run.index, argv[1]) >= 8)
    result = fail(&run, "itlIndexSetWorkingDirectory");
  else
    result = runIndex(&run, argv[1], argc - 2, argv + 2);
  for (i = 0; i < run.known.count; ++i) free(run.known.names[i]);
  free(run.known.names);
  free(run.known.seen);
  if (run.index != NULL) itlHandleDeleteIndex(&run.index);
  itlHandleDeleteContext(&run.context);
  itlHandleDeleteErrorInfo(&run.errorInfo);
  return result;
}
