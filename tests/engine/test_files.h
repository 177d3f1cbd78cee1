// Scratch folders for tests: one per test, removed afterwards, named so that parallel test
// processes never share one.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace zelquo::testing {

class CScratchFolder {
 public:
  CScratchFolder();
  CScratchFolder(const CScratchFolder&) = delete;
  CScratchFolder& operator=(const CScratchFolder&) = delete;
  ~CScratchFolder();

  [[nodiscard]] const std::filesystem::path& Path() const { return path_; }
  // Path of a file in the folder, as the text form the engine takes.
  [[nodiscard]] std::string File(std::string_view name) const;

 private:
  std::filesystem::path path_;
};

void WriteBytes(const std::string& path, std::string_view bytes);
[[nodiscard]] std::string ReadBytes(const std::string& path);

}  // namespace zelquo::testing
