// A tiny shared library that the shared-library tests load at run time.
extern "C" {

// Returns a * 10 + b, so a test sees both that it was called and how.
__attribute__((visibility("default"))) int cosDllTestCombine(int a, int b) {
  return a * 10 + b;
}

// A marker text with a known value.
__attribute__((visibility("default"))) char const* cosDllTestName() {
  return "cos dll test library";
}

}  // extern "C"
