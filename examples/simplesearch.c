/* simplesearch.c: searches an index made by simpleindex.
 *
 *   simplesearch <index-dir> <word>...
 *
 * Finds the documents that hold every word, ranked, and prints the 10 best
 * ones, one per line: score, then name; below each, one line of the file
 * around its first hit, the hit marked >>like this<< by the highlighter;
 * then the number of documents found. The files are found again below the
 * folders that simpleindex recorded in <index-dir>/simpleindex.state.
 *
 * The library hands out no hit positions for a result, so the occurrences
 * given to the highlighter are counted here: the n-th word of the text is
 * position n, a word being a run of letters, digits or non-ASCII bytes.
 * HTML and XML files are shown with their markup blanked out.
 *
 * Results go to standard output, errors to standard error. Exit codes: 0
 * success (also when nothing is found), 1 a failed call, 2 usage. */
#define _XOPEN_SOURCE 700
#include <ctype.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "itl_api.h"

#define BEST 10
#define MAX_OCCURRENCES 64

typedef struct {
  ItlTyDocumentNumber number;
  double rank;
} Hit;

typedef struct {
  ItlTyErrorInfoHandle errorInfo;
  ItlTyContextHandle context;
  ItlTyIndexHandle index;
  ItlTyIndexSearchHandle search;
  ItlTyQueryHandle query;
  ItlTyQueryResultHandle result;
  ItlTyListHandle list;
  ItlTyDocumentIDHandle id;
  ItlTyHighlighterHandle highlighter;
} Session;

static int fail(Session* s, char const* what) {
  char const* context = itlErrorInfoGetContext(s->errorInfo);
  char const* reason = itlErrorInfoGetReasonCodeAsCString(s->errorInfo);
  fprintf(stderr, "simplesearch: %s failed: reason %d (%s)%s%s\n", what,
          (int)itlErrorInfoGetReasonCode(s->errorInfo),
          reason != NULL ? reason : "?",
          context != NULL && context[0] != '\0' ? ": " : "",
          context != NULL ? context : "");
  return 1;
}

/* ---- the query ------------------------------------------------------------ */

/* Adds every word as a search term, joined by AND in postfix order. */
static int buildQuery(Session* s, int words, char** word) {
  int i;
  for (i = 0; i < words; ++i) {
    ItlTySearchStringHandle string = NULL;
    ItlTySearchTermHandle term = NULL;
    int rc = itlHandleNewSearchString(word[i], (unsigned)strlen(word[i]),
                                      &string, s->context);
    if (rc >= 8) return fail(s, "itlHandleNewSearchString");
    rc = itlHandleNewSearchTerm(string, &term, s->context);
    if (rc < 8) rc = itlQueryAddSearchTerm(s->query, term);
    itlHandleDeleteSearchTerm(&term);
    itlHandleDeleteSearchString(&string);
    if (rc >= 8) return fail(s, "adding a search term");
    if (i > 0 &&
        itlQueryAddBooleanOperator(s->query, ItlEnOperator_And,
                                   ItlEnOperatorMode_Strict) >= 8)
      return fail(s, "itlQueryAddBooleanOperator");
  }
  return 0;
}

/* Keeps the BEST hits of highest rank in `best` (descending). */
static void keepBest(Hit* best, int* kept, Hit hit) {
  int at = *kept < BEST ? (*kept)++ : BEST;
  if (at == BEST) {
    if (hit.rank <= best[BEST - 1].rank) return;
    at = BEST - 1;
  }
  while (at > 0 && best[at - 1].rank < hit.rank) {
    best[at] = best[at - 1];
    --at;
  }
  best[at] = hit;
}

/* ---- one highlighted line ---------------------------------------------- */

static char* readFile(char const* path, size_t* length) {
  FILE* f = fopen(path, "rb");
  char* bytes;
  long size;
  if (f == NULL) return NULL;
  if (fseek(f, 0, SEEK_END) != 0 || (size = ftell(f)) < 0 ||
      fseek(f, 0, SEEK_SET) != 0) {
    fclose(f);
    return NULL;
  }
  bytes = (char*)malloc((size_t)size + 1);
  if (bytes == NULL ||
      fread(bytes, 1, (size_t)size, f) != (size_t)size) {
    free(bytes);
    fclose(f);
    return NULL;
  }
  fclose(f);
  *length = (size_t)size;
  return bytes;
}

/* The file of document `name`: the first recorded folder that holds it. */
static char* findFile(char const* indexDir, char const* name, size_t* length,
                      int* markup) {
  char state[PATH_MAX], line[PATH_MAX + 16];
  FILE* f;
  char* bytes = NULL;
  char const* dot = strrchr(name, '.');
  *markup = dot != NULL && (strcasecmp(dot, ".html") == 0 ||
                            strcasecmp(dot, ".htm") == 0 ||
                            strcasecmp(dot, ".xhtml") == 0 ||
                            strcasecmp(dot, ".xml") == 0);
  snprintf(state, sizeof state, "%s/simpleindex.state", indexDir);
  f = fopen(state, "r");
  if (f == NULL) return NULL;
  while (bytes == NULL && fgets(line, sizeof line, f) != NULL) {
    char path[2 * PATH_MAX + 2];
    size_t n = strlen(line);
    if (strncmp(line, "folder ", 7) != 0) continue;
    if (n > 0 && line[n - 1] == '\n') line[n - 1] = '\0';
    snprintf(path, sizeof path, "%s/%s", line + 7, name);
    bytes = readFile(path, length);
  }
  fclose(f);
  return bytes;
}

/* Blanks out markup (<...>) so that only the text of the page is left. */
static void blankMarkup(char* text, size_t length) {
  size_t i;
  int inTag = 0;
  for (i = 0; i < length; ++i) {
    if (text[i] == '<') inTag = 1;
    if (inTag) {
      if (text[i] == '>') inTag = 0;
      text[i] = ' ';
    }
  }
}

static int isWordByte(unsigned char c) { return isalnum(c) || c >= 0x80; }

/* Occurrences of the query words in `text`, counted by word position. */
static uint32_t findOccurrences(char const* text, size_t length, int words,
                                char** word, ItlStOccurrence* out) {
  size_t i = 0;
  /* Positions count characters from 1; blanks between words count
   * nothing, as the index counts them. */
  int32_t position = 1;
  uint32_t count = 0;
  while (i < length && count < MAX_OCCURRENCES) {
    size_t start;
    int32_t first;
    int w;
    if (!isWordByte((unsigned char)text[i])) {
      if (!isspace((unsigned char)text[i])) ++position;
      ++i;
      continue;
    }
    start = i;
    first = position;
    while (i < length && isWordByte((unsigned char)text[i])) {
      /* continuation bytes of UTF-8 add no character */
      if (((unsigned char)text[i] & 0xC0) != 0x80) ++position;
      ++i;
    }
    for (w = 0; w < words; ++w) {
      if (strlen(word[w]) == i - start &&
          strncasecmp(word[w], text + start, i - start) == 0) {
        out[count].iDocument = 0;
        out[count].iPosition = first;
        out[count].usLength = (uint16_t)(position - first);
        out[count].ucWeight = 0;
        out[count].ucWordRule = 1;
        ++count;
        break;
      }
    }
  }
  return count;
}

/* Prints context with the hit marked, on one line. */
static void printLine(char const* text, uint32_t contextStart, uint32_t hitStart,
                      uint32_t hitEnd, uint32_t contextEnd) {
  uint32_t i;
  int space = 0;
  fputs("    ", stdout);
  for (i = contextStart; i < contextEnd; ++i) {
    unsigned char c = (unsigned char)text[i];
    if (i == hitStart) fputs(">>", stdout);
    if (isspace(c)) {
      if (!space) putchar(' ');
      space = 1;
    } else {
      putchar(c);
      space = 0;
    }
    if (i + 1 == hitEnd) fputs("<<", stdout);
  }
  putchar('\n');
}

/* Highlights the first hit of the query words in the document's file. */
static void highlight(Session* s, char const* indexDir, char const* name,
                      int words, char** word) {
  ItlStOccurrence occurrences[MAX_OCCURRENCES];
  ItlTyListHandle list = NULL;
  ItlTyIteratorHandle it = NULL;
  uint32_t count, v[4];
  size_t length = 0;
  int markup = 0;
  char* text = findFile(indexDir, name, &length, &markup);
  if (text == NULL) {
    printf("    (the file is not found)\n");
    return;
  }
  if (markup) blankMarkup(text, length);
  count = findOccurrences(text, length, words, word, occurrences);
  if (count == 0 || length == 0 || length > UINT32_MAX) {
    printf("    (no hit in the file's text)\n");
    free(text);
    return;
  }
  if (itlHighlighterProcessDocument(s->highlighter, text, (uint32_t)length,
                                    ItlEnDocumentFormat_Text, 1208, NULL,
                                    occurrences, count, &list) >= 8) {
    fail(s, "itlHighlighterProcessDocument");
    free(text);
    return;
  }
  if (itlHandleNewIterator(list, &it) < 8 && itlListIteratorSetToFirst(it) &&
      itlHighlightElementObtainData(it, NULL, &count, &v[0], &v[1], &v[2],
                                    &v[3]) < 8)
    printLine(text, v[2], v[0], v[1], v[3]);
  else
    printf("    (no hit in the file's text)\n");
  itlHandleDeleteIterator(&it);
  itlHandleDeleteList(&list);
  free(text);
}

/* ---- the search --------------------------------------------------------- */

static int search(Session* s, char const* indexDir, int words, char** word) {
  Hit best[BEST];
  int kept = 0, i;
  bool ok;
  uint32_t found = 0;
  ItlTyIteratorHandle it = NULL;
  int rc = itlHandleNewIndexSearch(s->index, &s->search);
  if (rc >= 8) return fail(s, "itlHandleNewIndexSearch");
  if (itlHandleNewQuery(s->search, "en_US", 1208, &s->query) >= 8)
    return fail(s, "itlHandleNewQuery");
  if (itlQueryDoRank(s->query, true, ItlEnRankFormula_Default) >= 8)
    return fail(s, "itlQueryDoRank");
  if (buildQuery(s, words, word) != 0) return 1;
  if (itlHandleNewQueryResult(&s->result, s->context) >= 8)
    return fail(s, "itlHandleNewQueryResult");
  if (itlQueryProcess(s->query, s->result, &s->list) >= 8)
    return fail(s, "itlQueryProcess");
  if (itlHandleNewDocumentID(s->index, &s->id) >= 8)
    return fail(s, "itlHandleNewDocumentID");
  if (s->list != NULL) {
    if (itlListObtainNumberOfElements(s->list, &found) >= 8)
      return fail(s, "itlListObtainNumberOfElements");
    if (itlHandleNewIterator(s->list, &it) >= 8)
      return fail(s, "itlHandleNewIterator");
    for (ok = itlListIteratorSetToFirst(it); ok;
         ok = itlListIteratorSetToNext(it, 1)) {
      Hit hit;
      if (itlQueryResultElementObtainData(it, s->id, NULL, &hit.rank, NULL) >= 8 ||
          itlDocumentIDObtainNumber(s->id, &hit.number) >= 8) {
        itlHandleDeleteIterator(&it);
        return fail(s, "reading the result list");
      }
      keepBest(best, &kept, hit);
    }
    itlHandleDeleteIterator(&it);
  }
  if (itlHandleNewHighlighter(s->index, 40, 60, &s->highlighter) >= 8)
    return fail(s, "itlHandleNewHighlighter");
  for (i = 0; i < kept; ++i) {
    char const* name;
    uint32_t length;
    char* copy;
    if (itlDocumentIDSetNumber(s->id, best[i].number) >= 8 ||
        itlDocumentIDObtainName(s->id, &name, &length) >= 8)
      return fail(s, "itlDocumentIDObtainName");
    copy = (char*)malloc((size_t)length + 1);
    if (copy == NULL) return 1;
    memcpy(copy, name, length);
    copy[length] = '\0';
    printf("%8.4f  %s\n", best[i].rank, copy);
    highlight(s, indexDir, copy, words, word);
    free(copy);
  }
  printf("%lu documents found\n", (unsigned long)found);
  return 0;
}

int main(int argc, char** argv) {
  Session s;
  int result;
  if (argc < 3) {
    fprintf(stderr, "usage: simplesearch <index-dir> <word>...\n");
    return 2;
  }
  memset(&s, 0, sizeof s);
  if (itlHandleNewErrorInfo(&s.errorInfo) != 0 ||
      itlHandleNewContext(&s.context, s.errorInfo) != 0) {
    fprintf(stderr, "simplesearch: the library cannot start\n");
    return 1;
  }
  if (itlHandleNewIndex(s.context, "index", argv[1], &s.index) >= 8)
    result = fail(&s, "itlHandleNewIndex");
  else if (itlIndexSetWorkingDirectory(s.index, argv[1]) >= 8)
    result = fail(&s, "itlIndexSetWorkingDirectory");
  else if (!itlIndexIsExistent(s.index)) {
    fprintf(stderr, "simplesearch: %s holds no index\n", argv[1]);
    result = 1;
  } else
    result = search(&s, argv[1], argc - 2, argv + 2);
  if (s.highlighter != NULL) itlHandleDeleteHighlighter(&s.highlighter);
  if (s.id != NULL) itlHandleDeleteDocumentID(&s.id);
  if (s.list != NULL) itlHandleDeleteList(&s.list);
  if (s.result != NULL) itlHandleDeleteQueryResult(&s.result);
  if (s.query != NULL) itlHandleDeleteQuery(&s.query);
  if (s.search != NULL) itlHandleDeleteIndexSearch(&s.search);
  if (s.index != NULL) itlHandleDeleteIndex(&s.index);
  itlHandleDeleteContext(&s.context);
  itlHandleDeleteErrorInfo(&s.errorInfo);
  return result;
}
