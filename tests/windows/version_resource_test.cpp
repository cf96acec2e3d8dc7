// The shipped files' version resources, read back the way Windows' file properties read them.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The folder of this test program, where the build puts the DLL and qmtsr.exe as well.
std::string OwnFolder() {
  char path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of("\\/") + 1);
}

std::string StringValue(std::vector<char>& info, const char* name) {
  const std::string key = std::string("\\StringFileInfo\\040904b0\\") + name;
  char* value = nullptr;
  UINT length = 0;
  if (!::VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &length)) {
    return "<missing>";
  }
  return std::string(value);
}

TEST(VersionResource, ShippedFilesCarryTheProjectVersion) {
  const DWORD high = MAKELONG(QMT_VERSION_MINOR, QMT_VERSION_MAJOR);
  const DWORD low = MAKELONG(0, QMT_VERSION_PATCH);
  const struct {
    const char* file;
    DWORD type;
  } files[] = {{"NRDEnrollmentCPPWrapper.dll", VFT_DLL}, {"qmtsr.exe", VFT_APP}};
  for (const auto& f : files) {
    SCOPED_TRACE(f.file);
    const std::string path = OwnFolder() + f.file;
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version resource in " << path;
    std::vector<char> info(size);
    ASSERT_TRUE(::GetFileVersionInfoA(path.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, high);
    EXPECT_EQ(fixed->dwFileVersionLS, low);
    EXPECT_EQ(fixed->dwProductVersionMS, high);
    EXPECT_EQ(fixed->dwProductVersionLS, low);
    EXPECT_EQ(fixed->dwFileType, f.type);

    EXPECT_EQ(StringValue(info, "FileVersion"), QMT_VERSION);
    EXPECT_EQ(StringValue(info, "ProductVersion"), QMT_VERSION);
    EXPECT_EQ(StringValue(info, "ProductName"), "NRDEnrollmentCPPWrapper");
    EXPECT_EQ(StringValue(info, "OriginalFilename"), f.file);
    EXPECT_NE(StringValue(info, "FileDescription"), "<missing>");
  }
}

}  // namespace
