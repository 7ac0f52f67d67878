// The main of every test binary that uses the private MariaDB server of
// scripts/test. Without that server's address the binary says so once and
// exits with the status CTest counts as skipped, instead of each test failing
// on a refused connection; so plain ctest runs the unit tests alone.
#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const char* port = std::getenv("VELUNOR_TEST_DB_PORT");
  if ((port == nullptr || *port == '\0') && !GTEST_FLAG_GET(list_tests)) {
    std::fprintf(stderr,
                 "no test database: VELUNOR_TEST_DB_PORT is not set; scripts/test starts a "
                 "private MariaDB and runs every test\n");
    return 77;  // SKIP_RETURN_CODE of velunor_db_test
  }
  return RUN_ALL_TESTS();
}
