// Inputs that the fuzz targets (tests/fuzz) found, kept as unit tests.
#include <gtest/gtest.h>

#include <string>

#include "exchange.h"
#include "fake_platform.h"
#include "stock_paths.h"

namespace {

// fuzz_load_dump: a stock name with a lead byte followed by "/" is no
// double-byte character, and its settings file "<lead>/x.txt" would lie in
// a subfolder of the working folder on Linux. A lead byte pairs only with
// a real trail byte; such a name cannot be a file name.
TEST(FuzzFindings, LeadByteBeforeASeparatorIsNoCharacter) {
  struct Case { const char* name; int ok; } cases[] = {
      {"\x81/x", 0}, {"\x83/", 0}, {"\x81:x", 0}, {"\x81\x1f", 0}, {"\x81\x7f", 0},
      {"\x81\xfd", 0}, {"\x83\x5c", 1}, {"\x81\x40", 1}, {"\x81\xfc", 1}, {"\x81\x80", 1},
  };
  for (const Case& c : cases) EXPECT_EQ(IsStockFileName(c.name), c.ok) << c.name;

  FakeReset();
  std::string work = FakeFolder("work");
  snprintf(WorkFolder, sizeof WorkFolder, "%s", work.c_str());
  // A dump whose one stock is named 81 2F 78 ("\x81/x").
  std::string dump = std::string("\x12\0\0\0", 4) + std::string("\0\xD2", 2) + std::string(16, '\0');
  std::string rec(600, '\0');
  rec.replace(4, 3, "\x81/x");
  dump += std::string("\x58\x02\0\0", 4) + rec;
  FakeWriteFile(work + "/Ryvo.dmp", dump);
  EXPECT_EQ(LoadDump(FakeStockList()), 0);
  ASSERT_EQ(FakeListItems().size(), 1u);
  EXPECT_EQ(FakeListItems()[0], "\x81/x");
  for (const std::string& opened : FakeOpenLog())
    EXPECT_EQ(opened.find("/x.txt"), std::string::npos) << opened;
}

}  // namespace
