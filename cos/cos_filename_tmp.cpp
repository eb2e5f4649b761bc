// Temporary names (CosClTmpFilename) and the temporary directory.
//
// A temporary base name has 12 characters, in the 8.3 form:
//   0..p-1  the prefix's first p = min(5, strlen(prefix)) characters
//   p..7    random characters of s_szSet (a random number in base 41,
//           least significant digit last, "0" above its highest digit)
//   8       "."
//   9..11   the process id's units, tens and hundreds digits
// The name is reserved by creating the file with O_EXCL: two processes (or
// two objects) that draw the same name never share or truncate one file.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cos_envvar.hpp"
#include "cos_filename.hpp"
#include "cos_random.hpp"

namespace {

// Alphabet of the random characters: 41 characters.
char const s_szSet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ@#!%_";
unsigned int const kSetSize = sizeof s_szSet - 1;

// Names drawn before giving up on a directory in which every name exists
// (or in which no file can be created and every drawn name exists).
unsigned int const kMaxAttempts = 100000;

// Writes the 12-character base name into `out` (13 bytes).
void composeTmpName(char* out, char const* prefix, uint32_t random,
                    unsigned int pid) {
  size_t p = 0;
  while (p < 5 && prefix[p] != '\0') {
    out[p] = prefix[p];
    ++p;
  }
  for (size_t i = 8; i-- > p;) {
    out[i] = s_szSet[random % kSetSize];
    random /= kSetSize;
  }
  out[8] = '.';
  out[9] = (char)('0' + pid % 10);
  out[10] = (char)('0' + pid / 10 % 10);
  out[11] = (char)('0' + pid / 100 % 10);
  out[12] = '\0';
}

}  // namespace

char const* cosGetTmpDirectory() {
  CosClEnvironmentVariableQueryOnly tmp;
  tmp.setNewName("TMP");
  char const* value = tmp.getValue();
  return value != nullptr ? value : "/tmp";
}

CosClTmpFilename::CosClTmpFilename() {
  init(cosGetTmpDirectory(), "tmp", nullptr);
  initPrefix("tmp");
}

CosClTmpFilename::CosClTmpFilename(char const* prefix) {
  init(cosGetTmpDirectory(), prefix, nullptr);
  initPrefix(prefix);
}

CosClTmpFilename::CosClTmpFilename(char const* directory, char const* prefix) {
  init(directory, prefix, nullptr);
  initPrefix(prefix);
}

CosClTmpFilename::CosClTmpFilename(CosClLocation const& location) {
  init(location.getAsCString(), "tmp", nullptr);
  initPrefix("tmp");
}

CosClTmpFilename::CosClTmpFilename(CosClLocation const& location,
                                   char const* prefix) {
  init(location.getAsCString(), prefix, nullptr);
  initPrefix(prefix);
}

CosClTmpFilename::CosClTmpFilename(CosClFilenameABase const& name,
                                   char const* prefix) {
  CosClLocation directory(name, false);
  init(directory.getAsCString(), prefix, nullptr);
  initPrefix(prefix);
}

void CosClTmpFilename::initPrefix(char const* prefix) {
  if (prefix == nullptr) prefix = "";
  CosClRandomNumberGenerator random;
  unsigned int pid = (unsigned int)getpid();
  bool tooLong = m_bTooLong;
  char base[13];
  for (unsigned int attempt = 0; attempt < kMaxAttempts; ++attempt) {
    composeTmpName(base, prefix, random.getRandomNumber(), pid);
    *m_pszBaseName = '\0';
    m_uLength = (unsigned int)(m_pszBaseName - m_szName);
    m_bTooLong = tooLong;
    append(base);
    determineExtension();
    if (m_bTooLong) return;  // a cut name is never created
    int fd = open(m_szName, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      close(fd);
      return;
    }
    // Cannot create here (no directory, no permission): a name that does
    // not exist is the best that can be given.
    if (errno != EEXIST && access(m_szName, F_OK) != 0) return;
  }
}
