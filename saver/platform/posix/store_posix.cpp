// The settings key as a small text file, one value per line:
//   name dword|binary hexbytes
// The bytes are those a registry value would hold, so the same rules apply.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"

struct StoredValue {
  StoreType type;
  std::vector<uint8_t> bytes;
};

struct PosixKey {
  std::string path;
  std::map<std::string, StoredValue> values;
};

static std::string SettingsFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return std::string(config) + "/tumbra";
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : ".") + "/.config/tumbra";
}

static bool MakeFolders(const std::string& folder) {
  for (size_t i = 1; i <= folder.size(); ++i) {
    if (i != folder.size() && folder[i] != '/') continue;
    std::string part = folder.substr(0, i);
    if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return true;
}

static int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

static bool ParseLine(const char* line, std::string* name, StoredValue* value) {
  char key[64], type[16], hex[1024];
  hex[0] = 0;
  int fields = std::sscanf(line, "%63s %15s %1023s", key, type, hex);
  if (fields < 2) return false;
  if (std::strcmp(type, "dword") == 0)
    value->type = StoreDword;
  else if (std::strcmp(type, "binary") == 0)
    value->type = StoreBinary;
  else
    return false;
  value->bytes.clear();
  size_t length = fields == 3 ? std::strlen(hex) : 0;
  if (length % 2 != 0) return false;
  for (size_t i = 0; i < length; i += 2) {
    int high = HexDigit(hex[i]), low = HexDigit(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    value->bytes.push_back(static_cast<uint8_t>(high * 16 + low));
  }
  *name = key;
  return true;
}

static bool WriteFile(const PosixKey& key) {
  std::string temporary = key.path + ".new";
  FILE* file = std::fopen(temporary.c_str(), "w");
  if (file == nullptr) return false;
  for (const auto& [name, value] : key.values) {
    std::fprintf(file, "%s %s ", name.c_str(), value.type == StoreDword ? "dword" : "binary");
    for (uint8_t b : value.bytes) std::fprintf(file, "%02x", b);
    std::fprintf(file, "\n");
  }
  bool written = std::fflush(file) == 0 && !std::ferror(file);
  written = (std::fclose(file) == 0) && written;
  return written && std::rename(temporary.c_str(), key.path.c_str()) == 0;
}

bool StoreOpen(StoreKey* key, bool* createdNew) {
  std::string folder = SettingsFolder();
  if (!MakeFolders(folder)) return false;
  PosixKey* opened = new PosixKey;
  opened->path = folder + "/settings";
  FILE* file = std::fopen(opened->path.c_str(), "r");
  if (file == nullptr) {
    if (errno != ENOENT || !WriteFile(*opened)) {
      delete opened;
      return false;
    }
    *createdNew = true;
  } else {
    char line[1200];
    while (std::fgets(line, sizeof line, file)) {
      std::string name;
      StoredValue value;
      if (ParseLine(line, &name, &value)) opened->values[name] = value;
    }
    std::fclose(file);
    *createdNew = false;
  }
  key->handle = opened;
  return true;
}

StoreStatus StoreRead(StoreKey key, const char* name, void* data, uint32_t* size) {
  PosixKey* opened = static_cast<PosixKey*>(key.handle);
  auto found = opened->values.find(name);
  if (found == opened->values.end()) return StoreMissing;
  const std::vector<uint8_t>& bytes = found->second.bytes;
  if (bytes.size() > *size) return StoreTooLong;
  if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
  *size = static_cast<uint32_t>(bytes.size());
  return StoreOk;
}

bool StoreWrite(StoreKey key, const char* name, StoreType type, const void* data, uint32_t size) {
  PosixKey* opened = static_cast<PosixKey*>(key.handle);
  StoredValue& value = opened->values[name];
  value.type = type;
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  value.bytes.assign(bytes, bytes + size);
  return WriteFile(*opened);
}

void StoreClose(StoreKey key) { delete static_cast<PosixKey*>(key.handle); }
