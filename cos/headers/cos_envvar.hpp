// cos_envvar.hpp: named environment variables and the one "enabled" test.
//
// Every on/off environment switch of the services library (console user
// interface, assertions, trace settings, ini files, temporary directory,
// process launch) is read through hasValueEnabled(): the whole value equals
// "ON", "YES", "TRUE" or "1" without regard to case. An unset variable, an
// empty value or any other value is not enabled.
//
// Names hold at most 40 characters. A longer name is not truncated (that
// would silently name another variable): the object then names no
// variable, reads as unset and refuses to set.
//
// Settings go to the process environment through setenv()/unsetenv(),
// which copy the text, so a setting outlives the object that made it.
#ifndef COS_ENVVAR_HPP
#define COS_ENVVAR_HPP

class CosClEnvironmentVariableABase {
  public:
    static constexpr unsigned MAX_NAME_LENGTH = 40;

    explicit CosClEnvironmentVariableABase(char const* name);
    virtual ~CosClEnvironmentVariableABase() = default;

    char const* getName() const { return iv_szName; }
    // True when the variable is set (also to an empty value).
    bool hasValue() const;
    // The variable's value as the environment holds it, null when unset. The
    // text belongs to the environment and may change with the next setting.
    char const* getValue() const;
    // True when the value is "ON", "YES", "TRUE" or "1", ignoring case.
    bool hasValueEnabled() const;

  protected:
    void setName(char const* name);

  private:
    char iv_szName[MAX_NAME_LENGTH + 1];  // empty when no valid name
};

// A variable that this object sets.
class CosClEnvironmentVariable : public CosClEnvironmentVariableABase {
  public:
    // Sets the variable at once (setNewValue(value)).
    CosClEnvironmentVariable(char const* name, char const* value);

    // Sets the variable to `value`; a null value removes it. False when the
    // platform refuses (invalid name, no memory).
    bool setNewValue(char const* value);
    // Sets the variable to its current value (empty when unset) followed by
    // `text`. False when the platform refuses; CosClExceptionFatal when the
    // memory manager cannot supply the composed text.
    bool appendValue(char const* text);
    // Removes the variable. 0 on success, -1 when the platform refuses.
    int resetValue();
};

// A variable that is only read; its name can change. Default name "?".
class CosClEnvironmentVariableQueryOnly : public CosClEnvironmentVariableABase {
  public:
    CosClEnvironmentVariableQueryOnly();
    // Names the same variable as `other`.
    explicit CosClEnvironmentVariableQueryOnly(CosClEnvironmentVariableABase const& other);
    void setNewName(char const* name) { setName(name); }
};

#endif  // COS_ENVVAR_HPP
