#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace zel::test {

TempDir::TempDir() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = "zel-" + std::to_string(::getpid());
  if (info) name += std::string("-") + info->test_suite_name() + "-" + info->name();
  for (char& c : name)
    if (c == '/') c = '_';
  path_ = std::filesystem::temp_directory_path() / name;
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

}  // namespace zel::test
