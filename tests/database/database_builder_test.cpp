#include "database/database_builder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

namespace r770 {

// A file the disk cannot take is an error, also when its bytes fail only as the file closes.
TEST(DatabaseBuilderTest, AFileThatCannotBeWrittenIsAnError) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  EXPECT_THROW(WriteDatabaseFile("/dev/full", "small enough to wait in the stream's buffer"),
               std::runtime_error);
}

}  // namespace r770
