#include "mfe/settings/load_settings.h"

#include "mfe/settings/ini_error.h"
#include "mfe/settings/parse_settings.h"
#include "platform/read_file.h"
#include "platform/settings_dir.h"

namespace tavik::mfe {

namespace {

using kovo_base::IoError;

// The file's text, or why it is not usable as text here.
std::expected<std::string, IoError> read_settings_text(const DirectoryLookup& lookup) {
  auto directory = lookup();
  if (!directory) return std::unexpected(std::move(directory.error()));
  auto bytes = platform::read_whole_file(*directory / kSettingsFileName);
  if (!bytes) return bytes;
  if (kovo_base::check_utf8(*bytes)) {
    return std::unexpected(IoError::custom(kovo_base::IoKind::InvalidData, "stream did not contain valid UTF-8"));
  }
  return bytes;
}

}  // namespace

kovo_base::Result<Settings> load_settings_from(std::span<const DirectoryLookup> directories) {
  IoError last = IoError::custom(kovo_base::IoKind::NotFound, "no settings directory to look in");
  for (const DirectoryLookup& lookup : directories) {
    auto text = read_settings_text(lookup);
    if (!text) {
      last = std::move(text.error());
      continue;
    }
    auto settings = parse_settings(*text);
    if (!settings) return std::unexpected(to_connection_error(settings.error()));
    return std::move(*settings);
  }
  return std::unexpected(kovo_base::ConnectionError::io(std::move(last)));
}

kovo_base::Result<Settings> load_settings() {
  const DirectoryLookup directories[] = {
      [] { return std::expected<std::filesystem::path, IoError>(platform::settings_directory()); },
      [] { return platform::current_directory(); },
  };
  return load_settings_from(directories);
}

}  // namespace tavik::mfe
