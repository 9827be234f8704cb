#include "platform/property_db.h"

namespace quillet {
namespace {

void PutU32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::uint32_t GetU32(std::string_view b, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i)
    v |= static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + i])) << (8 * i);
  return v;
}

}  // namespace

std::string EncodeProps(std::span<const PropValue> props) {
  std::string out;
  for (const PropValue& p : props) {
    PutU32(out, p.propid);
    std::string data;
    switch (TypeOfProp(p.propid)) {
      case CEVT_LPWSTR:
        for (char16_t c : p.text) {
          data.push_back(static_cast<char>(c & 0xFF));
          data.push_back(static_cast<char>(c >> 8));
        }
        break;
      case CEVT_BLOB:
        data = p.blob;
        break;
      case CEVT_I2:
      case CEVT_UI2:
        data.push_back(static_cast<char>(p.number & 0xFF));
        data.push_back(static_cast<char>((p.number >> 8) & 0xFF));
        break;
      default:
        PutU32(data, p.number);
        break;
    }
    PutU32(out, static_cast<std::uint32_t>(data.size()));
    out += data;
  }
  return out;
}

bool DecodeProps(std::string_view bytes, std::vector<PropValue>* props) {
  props->clear();
  std::size_t at = 0;
  while (at < bytes.size()) {
    if (bytes.size() - at < 8) return false;
    PropValue p;
    p.propid = GetU32(bytes, at);
    std::uint32_t len = GetU32(bytes, at + 4);
    at += 8;
    if (len > bytes.size() - at) return false;
    std::string_view data = bytes.substr(at, len);
    at += len;
    switch (TypeOfProp(p.propid)) {
      case CEVT_LPWSTR:
        for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
          p.text.push_back(static_cast<char16_t>(static_cast<unsigned char>(data[i]) |
                                                 (static_cast<unsigned char>(data[i + 1]) << 8)));
        }
        break;
      case CEVT_BLOB:
        p.blob = std::string(data);
        break;
      default:
        for (std::size_t i = 0; i < data.size() && i < 4; ++i) {
          p.number |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[i])) << (8 * i);
        }
        break;
    }
    props->push_back(std::move(p));
  }
  return true;
}

}  // namespace quillet
