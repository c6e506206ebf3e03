#include "platform/os_info.h"

#include <windows.h>

#include <fmt/format.h>

#include "platform/win32/wide_text.h"

namespace tavik::platform {

namespace {

// GetVersionEx answers what the program's manifest claims to support;
// RtlGetVersion answers the running system's own numbers.
std::optional<RTL_OSVERSIONINFOW> real_version() {
  using RtlGetVersionFunction = LONG(WINAPI*)(PRTL_OSVERSIONINFOW);
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr) return std::nullopt;
  const auto rtl_get_version =
      reinterpret_cast<RtlGetVersionFunction>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
  if (rtl_get_version == nullptr) return std::nullopt;
  RTL_OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (rtl_get_version(&info) != 0) return std::nullopt;
  return info;
}

// A text value under HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion.
std::optional<std::string> current_version_text(const wchar_t* name) {
  wchar_t value[256]{};
  DWORD size = sizeof value - sizeof(wchar_t);
  const LSTATUS status = RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", name,
                                      RRF_RT_REG_SZ, nullptr, value, &size);
  if (status != ERROR_SUCCESS) return std::nullopt;
  auto text = win32::to_utf8(value);
  if (!text || text->empty()) return std::nullopt;
  return text;
}

void read_architecture(OsInfo& info) {
  SYSTEM_INFO system{};
  GetNativeSystemInfo(&system);
  switch (system.wProcessorArchitecture) {
    case PROCESSOR_ARCHITECTURE_AMD64:
      info.architecture = "x86_64";
      info.bitness = Bitness::X64;
      break;
    case PROCESSOR_ARCHITECTURE_ARM64:
      info.architecture = "aarch64";
      info.bitness = Bitness::X64;
      break;
    case PROCESSOR_ARCHITECTURE_INTEL:
      info.architecture = "x86";
      info.bitness = Bitness::X32;
      break;
    case PROCESSOR_ARCHITECTURE_ARM:
      info.architecture = "arm";
      info.bitness = Bitness::X32;
      break;
    default: break;
  }
}

}  // namespace

OsInfo read_os_info() {
  OsInfo info;
  info.type_name = "Windows";
  if (const auto version = real_version()) {
    info.version = fmt::format("{}.{}.{}", version->dwMajorVersion, version->dwMinorVersion, version->dwBuildNumber);
  } else {
    info.version = "Unknown";
  }
  // "Professional", "Core" (Home), "ServerStandard", ...
  info.edition = current_version_text(L"EditionID");
  // Windows has no code names in its version data; "22H2" and the like are
  // the release's own name.
  info.codename = current_version_text(L"DisplayVersion");
  read_architecture(info);
  return info;
}

}  // namespace tavik::platform
