// Executables found on a search path (CosClExeFile) and process identities
// (CosClProcessProperty, CosClProcess). The launches are in
// cos_process_launch.cpp.

#include "cos_process.hpp"

#include <signal.h>
#include <unistd.h>

#include <climits>

#include "cos_directory.hpp"
#include "cos_envvar.hpp"

// ---------------------------------------------------------------------------
// CosClExeFile

CosClExeFile::CosClExeFile(CosClFilename const& name)
    : CosClFile(name, nullptr), m_bFoundInPath(false) {
  if (m_clName.hasPath()) {
    if (isExistent()) return;
    CosClEnvironmentVariableQueryOnly usePath;
    usePath.setNewName("COS_NEWPROCESS_USEPATH");
    if (!usePath.hasValueEnabled()) return;
    m_clName.removePath();
  }
  searchPath(getSystemPathEnvironmentVariable());
}

CosClExeFile::CosClExeFile(CosClFilename const& name,
                           char const* defaultExtension,
                           bool lookInCurrentDirectory, char const* variable)
    : CosClFile(name, defaultExtension), m_bFoundInPath(false) {
  if (!m_clName.hasPath()) determinePath(lookInCurrentDirectory, variable);
}

CosClExeFile::~CosClExeFile() = default;

bool CosClExeFile::searchPath(char const* variable) {
  m_bFoundInPath = determineFileInEnvVarPath(m_clName, variable);
  if (!m_bFoundInPath) m_clName.removePath();
  return m_bFoundInPath;
}

bool CosClExeFile::determinePath(bool lookInCurrentDirectory,
                                 char const* variable) {
  if (lookInCurrentDirectory && !m_clName.hasPath() && isExistent()) {
    CosClDirectory current;
    if (!current.getLocation().isEmpty()) {
      m_clName.setNewPath(current.getLocation());
      m_bFoundInPath = true;
      return true;
    }
  }
  return searchPath(variable);
}

// ---------------------------------------------------------------------------
// Process identities

CosClProcessProperty::CosClProcessProperty() : m_uId((uint32_t)getpid()) {}

CosClProcess::CosClProcess() : CosClProcessProperty() {}

bool CosClProcess::kill() {
  m_stError.set(CosEnErrorId::PROCESS_COULD_NOT_KILL,
                CosEnErrorClass::INVALID_DATA);
  // 0 would signal the whole process group, negative ids process groups
  // or every process: never a single process.
  if (m_uId == 0 || m_uId > (uint32_t)INT_MAX) return false;
  if (::kill((pid_t)m_uId, SIGTERM) != 0) return false;
  m_stError.clear();
  return true;
}
