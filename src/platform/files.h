#pragma once
// Directories and append-only files, as the log file needs them.
#include <string>
#include <string_view>

namespace tavik::platform {

// Creates the directory and every missing parent. An empty path and a path
// that already names a directory succeed; anything else in the way fails.
bool create_directories(std::string_view path);

// The directory part of a file path ("" when the path has none).
std::string parent_directory(std::string_view path);

// A file opened for appending, created if missing. It is shared: other
// processes may read, write or delete it while it is open. Every write goes
// straight to the operating system; nothing is buffered here.
class AppendFile {
 public:
  AppendFile() = default;
  ~AppendFile();
  AppendFile(AppendFile&& other) noexcept;
  AppendFile& operator=(AppendFile&& other) noexcept;
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;

  // Opens path; the result is closed (is_open() false) when that fails.
  static AppendFile open(const std::string& path);

  bool is_open() const { return descriptor_ >= 0; }
  // Appends all of text; false when the file is closed or the write failed.
  bool write(std::string_view text);
  void close();

 private:
  explicit AppendFile(int descriptor) : descriptor_(descriptor) {}
  int descriptor_ = -1;
};

}  // namespace tavik::platform
