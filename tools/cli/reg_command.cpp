#include <cstdio>
#include <ostream>

#include "platform/codepage.h"
#include "platform/registry.h"
#include "tools/cli/cli.h"
#include "tools/cli/number_input.h"
#include "tools/cli/portfolio_commands.h"

namespace quillet::cli {
namespace {

const char* TypeName(DWORD type) {
  switch (type) {
    case REG_SZ:
      return "string";
    case REG_DWORD:
      return "dword";
    case REG_BINARY:
      return "binary";
    case REG_MULTI_SZ:
      return "multi-string";
    default:
      return "other";
  }
}

std::string Hex(std::string_view bytes) {
  std::string out;
  char buf[4];
  for (unsigned char c : bytes) {
    std::snprintf(buf, sizeof buf, "%02x", c);
    out += buf;
  }
  return out;
}

bool ParseHex(std::string_view text, std::string* bytes) {
  if (text.size() % 2) return false;
  bytes->clear();
  for (std::size_t i = 0; i < text.size(); i += 2) {
    auto digit = [](char c) {
      return c >= '0' && c <= '9'   ? c - '0'
             : c >= 'a' && c <= 'f' ? c - 'a' + 10
             : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                    : -1;
    };
    const int high = digit(text[i]);
    const int low = digit(text[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes->push_back(static_cast<char>(high * 16 + low));
  }
  return true;
}

std::string FormatValue(DWORD type, const std::string& data) {
  if (type == REG_DWORD && data.size() == 4) {
    DWORD v = static_cast<unsigned char>(data[0]) | static_cast<unsigned char>(data[1]) << 8 |
              static_cast<unsigned char>(data[2]) << 16 |
              static_cast<DWORD>(static_cast<unsigned char>(data[3])) << 24;
    return std::to_string(v);
  }
  if (type == REG_SZ) return Utf16ToUtf8(DecodeRegString(data));
  return Hex(data);
}

void PrintValue(std::ostream& out, const std::u16string& name, DWORD type,
                const std::string& data) {
  out << (name.empty() ? "(default)" : Utf16ToUtf8(name)) << " " << TypeName(type) << " "
      << FormatValue(type, data) << "\n";
}

// One record of `reg list --json`: a sub-key, or a value with its type; a DWORD as a number.
void PrintJson(std::ostream& out, bool first, const std::u16string& name, const DWORD* type,
               const std::string* data) {
  out << (first ? "\n " : ",\n ");
  if (!type) {
    out << "{\"key\": " << JsonUtf8String(Utf16ToUtf8(name)) << "}";
    return;
  }
  const std::string value = FormatValue(*type, *data);
  out << "{\"name\": " << JsonUtf8String(Utf16ToUtf8(name)) << ", \"type\": \"" << TypeName(*type)
      << "\", \"value\": "
      << (*type == REG_DWORD && data->size() == 4 ? value : JsonUtf8String(value)) << "}";
}

int Usage(CliEnv& env) {
  *env.err << "usage: quillet-cli reg [--desktop] [--root HKCU|HKLM|HKCR] list|get|set|delete "
              "KEY [NAME] [--dword N|--string TEXT|--binary HEX]\n";
  return 2;
}

}  // namespace

int RunReg(CliEnv& env, const std::vector<std::string>& args) {
  HKEY root = HKEY_CURRENT_USER;
  bool desktop = false;
  std::vector<std::string> words;
  std::string setKind, setText;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--desktop") {
      desktop = true;
    } else if (a == "--root" && i + 1 < args.size()) {
      const std::string& r = args[++i];
      if (r == "HKCU" || r == "HKEY_CURRENT_USER") {
        root = HKEY_CURRENT_USER;
      } else if (r == "HKLM" || r == "HKEY_LOCAL_MACHINE") {
        root = HKEY_LOCAL_MACHINE;
      } else if (r == "HKCR" || r == "HKEY_CLASSES_ROOT") {
        root = HKEY_CLASSES_ROOT;
      } else {
        return Usage(env);
      }
    } else if ((a == "--dword" || a == "--string" || a == "--binary") && i + 1 < args.size()) {
      setKind = a;
      setText = args[++i];
    } else {
      words.push_back(a);
    }
  }
  if (words.size() < 2) return Usage(env);
  PlatformContext* ctx = desktop ? env.Desktop() : env.Device();
  if (!ctx) return 1;
  Registry& reg = ctx->registry();
  const std::string& verb = words[0];
  std::u16string key = Utf8ToUtf16(words[1]);
  std::u16string name = words.size() > 2 ? Utf8ToUtf16(words[2]) : u"";
  std::ostream& out = *env.out;

  if (verb == "list") {
    HKEY k;
    if (LONG rc = reg.OpenKey(root, key, &k)) {
      *env.err << "quillet-cli: cannot open key " << words[1] << " (error " << rc << ")\n";
      return 1;
    }
    std::u16string child;
    bool first = true;
    if (env.json) out << "[";
    for (DWORD i = 0; reg.EnumKey(k, i, &child) == ERROR_SUCCESS; ++i, first = false) {
      if (env.json) {
        PrintJson(out, first, child, nullptr, nullptr);
      } else {
        out << "[" << Utf16ToUtf8(child) << "]\n";
      }
    }
    std::string data;
    DWORD type = 0;
    for (DWORD i = 0; reg.EnumValue(k, i, &child, &type, &data) == ERROR_SUCCESS;
         ++i, first = false) {
      if (env.json) {
        PrintJson(out, first, child, &type, &data);
      } else {
        PrintValue(out, child, type, data);
      }
    }
    if (env.json) out << (first ? "]\n" : "\n]\n");
    reg.CloseKey(k);
    return 0;
  }
  if (env.json) {
    *env.err << "quillet-cli: reg " << verb << " prints no records; --json is for list\n";
    return kExitUsage;
  }
  if (verb == "get") {
    HKEY k;
    LONG rc = reg.OpenKey(root, key, &k);
    if (rc == ERROR_SUCCESS) {
      DWORD type = 0, size = 0;
      rc = reg.QueryValue(k, name, &type, nullptr, &size);
      if (rc == ERROR_SUCCESS) {
        std::string data(size, '\0');
        rc = reg.QueryValue(k, name, &type, data.data(), &size);
        if (rc == ERROR_SUCCESS) out << FormatValue(type, data) << "\n";
      }
      reg.CloseKey(k);
    }
    if (rc) *env.err << "quillet-cli: no such value (error " << rc << ")\n";
    return rc ? 1 : 0;
  }
  if (verb == "set") {
    if (words.size() < 3 || setKind.empty()) return Usage(env);
    // The value is read whole before the key is made: a refused value leaves nothing behind.
    DWORD type = REG_BINARY;
    std::string bytes;
    if (setKind == "--dword") {
      std::int64_t v = 0;
      if (!ReadWholeNumber(*env.err, "--dword", setText, 0, 0xFFFFFFFFLL, &v)) return kExitUsage;
      const DWORD d = static_cast<DWORD>(v);
      type = REG_DWORD;
      bytes.assign(reinterpret_cast<const char*>(&d), sizeof d);
    } else if (setKind == "--string") {
      type = REG_SZ;
      bytes = EncodeRegString(Utf8ToUtf16(setText));
    } else if (!ParseHex(setText, &bytes)) {
      *env.err << "quillet-cli: --binary: pairs of hex digits\n";
      return kExitUsage;
    }
    HKEY k;
    if (LONG rc = reg.CreateKey(root, key, &k)) {
      *env.err << "quillet-cli: cannot create key (error " << rc << ")\n";
      return 1;
    }
    LONG rc = reg.SetValue(k, name, type, bytes.data(), static_cast<DWORD>(bytes.size()));
    reg.CloseKey(k);
    if (rc) *env.err << "quillet-cli: cannot set value (error " << rc << ")\n";
    return rc ? 1 : 0;
  }
  if (verb == "delete") {
    LONG rc;
    if (words.size() > 2) {
      HKEY k;
      rc = reg.OpenKey(root, key, &k);
      if (rc == ERROR_SUCCESS) {
        rc = reg.DeleteValue(k, name);
        reg.CloseKey(k);
      }
    } else {
      rc = reg.DeleteTree(root, key);
    }
    if (rc) *env.err << "quillet-cli: cannot delete (error " << rc << ")\n";
    return rc ? 1 : 0;
  }
  return Usage(env);
}

}  // namespace quillet::cli
