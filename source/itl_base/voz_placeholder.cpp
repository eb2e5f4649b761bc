// Placeholder so that the engine library has a source; removed once the
// engine has its first real source file.
namespace voz_placeholder { int unused = 0; }
