// cos_envvar.cpp: environment variables (contracts in cos_envvar.hpp).
#include "cos_envvar.hpp"

#include <cstdlib>
#include <cstring>

#include "cos_memmgr.hpp"
#include "cos_string.hpp"

CosClEnvironmentVariableABase::CosClEnvironmentVariableABase(char const* name)
    : iv_szName() {
    setName(name);
}

void CosClEnvironmentVariableABase::setName(char const* name) {
    iv_szName[0] = '\0';
    if (name == nullptr || std::strlen(name) > MAX_NAME_LENGTH) return;
    std::strcpy(iv_szName, name);
}

bool CosClEnvironmentVariableABase::hasValue() const {
    return getValue() != nullptr;
}

char const* CosClEnvironmentVariableABase::getValue() const {
    if (iv_szName[0] == '\0') return nullptr;
    return std::getenv(iv_szName);
}

bool CosClEnvironmentVariableABase::hasValueEnabled() const {
    char const* value = getValue();
    if (value == nullptr) return false;
    static char const* const kEnabled[] = {"ON", "YES", "TRUE", "1"};
    for (char const* word : kEnabled) {
        if (strcmpi(value, word) == 0) return true;
    }
    return false;
}

CosClEnvironmentVariable::CosClEnvironmentVariable(char const* name,
                                                   char const* value)
    : CosClEnvironmentVariableABase(name) {
    setNewValue(value);
}

bool CosClEnvironmentVariable::setNewValue(char const* value) {
    if (value == nullptr) return resetValue() == 0;
    return ::setenv(getName(), value, 1) == 0;
}

bool CosClEnvironmentVariable::appendValue(char const* text) {
    char const* current = getValue();
    size_t headLength = current != nullptr ? std::strlen(current) : 0;
    size_t tailLength = text != nullptr ? std::strlen(text) : 0;
    // The environment's own text may move when it is set, so the value is
    // composed in a separate buffer first.
    auto combined = static_cast<char*>(CosClMemoryManager::allocate(
        static_cast<unsigned>(headLength + tailLength + 1)));
    if (headLength > 0) std::memcpy(combined, current, headLength);
    if (tailLength > 0) std::memcpy(combined + headLength, text, tailLength);
    combined[headLength + tailLength] = '\0';
    bool done = setNewValue(combined);
    CosClMemoryManager::free(combined);
    return done;
}

int CosClEnvironmentVariable::resetValue() {
    return ::unsetenv(getName());
}

CosClEnvironmentVariableQueryOnly::CosClEnvironmentVariableQueryOnly()
    : CosClEnvironmentVariableABase("?") {}

CosClEnvironmentVariableQueryOnly::CosClEnvironmentVariableQueryOnly(
    CosClEnvironmentVariableABase const& other)
    : CosClEnvironmentVariableABase(other.getName()) {}
