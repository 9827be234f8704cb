#include "platform/roots.h"

#include <vector>

#include "platform/ascii.h"

namespace quillet {
namespace {

// Splits on '\' and '/', dropping empty parts; nullopt when a part is "." or "..".
std::optional<std::vector<std::string_view>> SplitComponents(std::string_view path) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '\\' || path[i] == '/') {
      std::string_view part = path.substr(start, i - start);
      if (part == "." || part == "..") return std::nullopt;
      if (!part.empty()) parts.push_back(part);
      start = i + 1;
    }
  }
  return parts;
}

std::string Trimmed(std::string_view root) {
  std::string r(root);
  while (r.size() > 1 && r.back() == '/') r.pop_back();
  return r;
}

}  // namespace

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string out(folder);
  if (out.empty() || out.back() != '/') out.push_back('/');
  while (!name.empty() && name.front() == '/') name.remove_prefix(1);
  out.append(name);
  return out;
}

std::optional<std::string> MapDevicePath(std::string_view root, std::string_view devicePath) {
  auto parts = SplitComponents(devicePath);
  if (!parts) return std::nullopt;
  std::string out = Trimmed(root);
  for (auto p : *parts) out = JoinPath(out, p);
  return out;
}

std::optional<std::string> MapDesktopPath(std::string_view root, std::string_view desktopPath) {
  char drive = 'C';
  if (desktopPath.size() >= 2 && desktopPath[1] == ':' &&
      std::isalpha(static_cast<unsigned char>(desktopPath[0]))) {
    drive = ToUpperAscii(desktopPath[0]);
    desktopPath.remove_prefix(2);
  }
  auto parts = SplitComponents(desktopPath);
  if (!parts) return std::nullopt;
  std::string out = JoinPath(Trimmed(root), std::string(1, drive));
  for (auto p : *parts) out = JoinPath(out, p);
  return out;
}

std::optional<std::string> DevicePathOf(std::string_view root, std::string_view hostPath) {
  std::string r = Trimmed(root);
  if (hostPath.size() < r.size() || hostPath.substr(0, r.size()) != r) return std::nullopt;
  std::string_view rest = hostPath.substr(r.size());
  if (!rest.empty() && rest.front() != '/') return std::nullopt;
  std::string out;
  auto parts = SplitComponents(rest);
  if (!parts) return std::nullopt;
  for (auto p : *parts) {
    out.push_back('\\');
    out.append(p);
  }
  if (out.empty()) out = "\\";
  return out;
}

std::optional<std::string> DesktopPathOf(std::string_view root, std::string_view hostPath) {
  auto inRoot = DevicePathOf(root, hostPath);  // "\C\dir\file"
  if (!inRoot || inRoot->size() < 2) return std::nullopt;
  const char drive = (*inRoot)[1];
  if (!((drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z')) ||
      (inRoot->size() > 2 && (*inRoot)[2] != '\\')) {
    return std::nullopt;
  }
  return std::string(1, ToUpperAscii(drive)) + ":\\" +
         (inRoot->size() > 3 ? inRoot->substr(3) : "");
}

}  // namespace quillet
