// The real Sqx.dll under Wine against 7-Zip: reads the archive 7zz wrote into the shared
// folder (SQX_INTEROP_DIR) beforehand, and writes archives there that 7zz checks afterwards.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/sqx/sqx_functions.h"
#include "tests/sqx/sqx_test_support.h"

namespace sqx::testing {
namespace {

std::string Shared(const std::string& name) {
  const char* folder = std::getenv("SQX_INTEROP_DIR");
  EXPECT_NE(folder, nullptr);
  std::string path = std::string("Z:") + (folder != nullptr ? folder : "") + "/" + name;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

TEST(SqxDllInterop, ReadsWhatSevenZipWroteAndWritesWhatItChecks) {
  const std::vector<std::string> names = {"mail.txt", "noise.bin"};
  Recorder reading;
  reading.password = "pw";
  ScratchFolder work;
  ASSERT_EQ(Extract(Shared("theirs.zip"), {"*.*"}, work / "out", false, &reading), kStatusOk);
  EXPECT_EQ(reading.OfKind(kEventPassword).size(), 1u);
  for (const std::string& name : names) {
    EXPECT_EQ(ReadFile(work / ("out/" + name)), ReadFile(Shared("src\\" + name))) << name;
  }

  std::vector<std::string> sources;
  for (const std::string& name : names) sources.push_back(Shared("src\\" + name));
  Recorder packing;
  packing.store_as = [](const std::string& path) { return path.substr(path.rfind('\\')); };
  ASSERT_EQ(Pack(Shared("ours.ebk"), sources, CompressOptions("pw"), &packing), kStatusOk);
  ASSERT_EQ(Pack(Shared("split.ebk"), sources, CompressOptions("pw", 64 * 1024), &packing),
            kStatusOk);
  EXPECT_TRUE(Exists(Shared("split.z01")));
}

}  // namespace
}  // namespace sqx::testing
