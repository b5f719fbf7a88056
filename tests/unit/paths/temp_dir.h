#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/Text.h"

namespace quillora {

// A fresh folder for one test, removed with everything in it afterwards.
class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillora-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  // The UTF-16 path of name inside the folder.
  std::u16string Path(const std::string& name) const { return FromUtf8((root_ / name).string()); }
  std::filesystem::path Native(const std::string& name) const { return root_ / name; }
  void WriteFile(const std::string& name, const std::string& bytes = "x") const {
    std::filesystem::create_directories(Native(name).parent_path());
    std::ofstream(Native(name), std::ios::binary) << bytes;
  }

  std::filesystem::path root_;
};

}  // namespace quillora
