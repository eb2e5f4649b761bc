// Placeholder so that the services library has a source; removed once the
// library has its first real source file.
namespace cos_placeholder { int unused = 0; }
