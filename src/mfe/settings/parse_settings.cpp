#include "mfe/settings/parse_settings.h"

#include <array>
#include <optional>
#include <set>
#include <string>

#include <fmt/format.h>

#include "base/debug_text.h"
#include "mfe/settings/ini_lines.h"
#include "mfe/settings/ini_values.h"

namespace tavik::mfe {

using kovo_base::debug_optional;
using kovo_base::debug_quoted;

namespace {

enum class Section { TopLevel, Logging, Connection, Protocol, Unknown };

struct KnownSection {
  Section section;
  std::string_view name;        // lower case, the form errors use
  std::string_view capitalised;
  std::string_view type_name;
};

constexpr std::array<KnownSection, 3> kSections{{
    {Section::Logging, "logging", "Logging", "Logging"},
    {Section::Connection, "connection", "Connection", "Connection"},
    {Section::Protocol, "protocol", "Protocol", "Protocol"},
}};

const KnownSection* find_section(std::string_view name) {
  for (const KnownSection& known : kSections) {
    if (name == known.name || name == known.capitalised) return &known;
  }
  return nullptr;
}

IniError duplicate_field(std::string_view name) { return IniError::custom(fmt::format("duplicate field `{}`", name)); }

class SettingsBuilder {
 public:
  std::optional<IniError> enter_section(std::string_view name) {
    const KnownSection* known = find_section(name);
    if (known == nullptr) {
      current_ = Section::Unknown;
      return std::nullopt;
    }
    if (!seen_sections_.insert(known->section).second) return duplicate_field(known->name);
    current_ = known->section;
    seen_keys_.clear();
    return std::nullopt;
  }

  std::optional<IniError> assign(std::string_view key, std::string_view value) {
    switch (current_) {
      case Section::TopLevel: return assign_top_level(key, value);
      case Section::Logging: return assign_logging(key, value);
      case Section::Connection: return assign_connection(key, value);
      case Section::Protocol: return assign_protocol(key, value);
      case Section::Unknown: return std::nullopt;
    }
    return std::nullopt;
  }

  Settings take() { return std::move(settings_); }

 private:
  // A section's name used as a single value: the record wants a section there.
  static std::optional<IniError> assign_top_level(std::string_view key, std::string_view value) {
    const KnownSection* known = find_section(key);
    if (known == nullptr) return std::nullopt;
    return IniError::custom(
        fmt::format("invalid type: string {}, expected struct {}", debug_quoted(value), known->type_name));
  }

  std::optional<IniError> assign_logging(std::string_view key, std::string_view value) {
    if (key == "level") return set_text(key, value, settings_.logging.level);
    if (key == "file") return set_text(key, value, settings_.logging.file);
    return std::nullopt;
  }

  std::optional<IniError> assign_connection(std::string_view key, std::string_view value) {
    Connection& connection = settings_.connection;
    if (key == "continuous") return set_converted(key, ini::parse_bool(value), connection.continuous);
    if (key == "method") return set_converted(key, ini::parse_method(value), connection.method);
    if (key == "hub") return set_converted(key, ini::parse_u8(value), connection.hub);
    if (key == "port") return set_converted(key, ini::parse_u8(value), connection.port);
    if (key == "serial") return set_text(key, value, connection.serial);
    if (key == "ip") return set_text(key, value, connection.ip);
    return std::nullopt;
  }

  std::optional<IniError> assign_protocol(std::string_view key, std::string_view value) {
    if (key == "compression") return set_converted(key, ini::parse_bool(value), settings_.protocol.compression);
    return std::nullopt;
  }

  std::optional<IniError> claim_key(std::string_view key) {
    if (!seen_keys_.insert(std::string(key)).second) return duplicate_field(key);
    return std::nullopt;
  }

  std::optional<IniError> set_text(std::string_view key, std::string_view value, std::optional<std::string>& field) {
    if (auto error = claim_key(key)) return error;
    field = std::string(value);
    return std::nullopt;
  }

  template <class T, class Field>
  std::optional<IniError> set_converted(std::string_view key, std::expected<T, IniError> converted, Field& field) {
    if (auto error = claim_key(key)) return error;
    if (!converted) return std::move(converted.error());
    field = *converted;
    return std::nullopt;
  }

  Settings settings_;
  Section current_ = Section::TopLevel;
  std::set<Section> seen_sections_;
  std::set<std::string, std::less<>> seen_keys_;
};

}  // namespace

std::expected<Settings, IniError> parse_settings(std::string_view text) {
  SettingsBuilder builder;
  for (const std::string_view raw : ini::split_lines(text)) {
    auto line = ini::classify_line(raw);
    if (!line) return std::unexpected(std::move(line.error()));
    std::optional<IniError> error;
    if (const auto* header = std::get_if<ini::SectionHeader>(&*line)) {
      error = builder.enter_section(header->name);
    } else if (const auto* assignment = std::get_if<ini::Assignment>(&*line)) {
      error = builder.assign(assignment->key, assignment->value);
    }
    if (error) return std::unexpected(std::move(*error));
  }
  return builder.take();
}

}  // namespace tavik::mfe
