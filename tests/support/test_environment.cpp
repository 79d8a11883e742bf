// Where tests find the repository and the shared sample files, also when a test binary or ctest
// runs without scripts/test.sh, which exports them: the folders this build was configured from
// fill in what the environment does not give.
#include <cstdlib>

namespace {

[[maybe_unused]] const bool environmentSet = [] {
    ::setenv("KELMOR_SOURCE_DIR", KELMOR_TEST_SOURCE_DIR, 0);
    ::setenv("KELMOR_SHARED_DIR", KELMOR_TEST_SHARED_DIR, 0);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return true;
}();

} // namespace
