// The settings key as a small text file, one value per line:
//   name dword|binary|string hexbytes
// The bytes are those a registry value would hold, so the same rules apply.
// The values written between open and close go to the file once, at close,
// through a temporary file of its own that then takes the file's place: two
// programs saving at once (xscreensaver starts one per screen) each leave a
// whole file, and the last one's stands.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/chars.h"
#include "platform/platform.h"

// A file larger than this is none this program wrote.
static const long StoreFileLimit = 1 << 20;

struct StoredValue {
  StoreType type;
  std::vector<uint8_t> bytes;
  bool malformed;    // the line could not be read: it reads as a failure, and is kept as it was
  std::string line;  // the malformed line
};

struct PosixKey {
  std::string path;
  std::map<std::string, StoredValue> values;
  bool written;  // a value was written since the key was opened
};

static const struct {
  StoreType type;
  const char* name;
} StoreTypeNames[] = {{StoreDword, "dword"}, {StoreBinary, "binary"}, {StoreText, "string"}};

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

static int HexDigitValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The words of a line, split at blanks (spaces and tabs).
static std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    const size_t start = i;
    while (i < line.size() && !IsBlank(line[i])) ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

// False when the line holds no value: blank. A line with a name but nothing
// readable after it is a malformed value of that name.
static bool ParseLine(const std::string& line, std::string* name, StoredValue* value) {
  const std::vector<std::string> words = Words(line);
  if (words.empty()) return false;
  *name = words[0];
  value->malformed = true;
  value->line = line;
  value->bytes.clear();
  if (words.size() < 2 || words.size() > 3) return true;
  bool known = false;
  for (const auto& type : StoreTypeNames)
    if (words[1] == type.name) {
      value->type = type.type;
      known = true;
    }
  if (!known) return true;
  const std::string hex = words.size() == 3 ? words[2] : std::string();
  if (hex.size() % 2 != 0) return true;
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int high = HexDigitValue(hex[i]), low = HexDigitValue(hex[i + 1]);
    if (high < 0 || low < 0) return true;
    value->bytes.push_back(static_cast<uint8_t>(high * 16 + low));
  }
  value->malformed = false;
  value->line.clear();
  return true;
}

static const char* TypeName(StoreType type) {
  for (const auto& known : StoreTypeNames)
    if (known.type == type) return known.name;
  return "binary";
}

static bool WriteAll(int descriptor, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t wrote = write(descriptor, text.data() + done, text.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    done += static_cast<size_t>(wrote);
  }
  return true;
}

// The whole file into a temporary of its own beside it, then in its place.
static bool WriteFile(const PosixKey& key) {
  std::string text;
  for (const auto& [name, value] : key.values) {
    if (value.malformed) {
      text += value.line + "\n";
      continue;
    }
    text += name + " " + TypeName(value.type) + " ";
    static const char Hex[] = "0123456789abcdef";
    for (uint8_t b : value.bytes) {
      text += Hex[b >> 4];
      text += Hex[b & 15];
    }
    text += "\n";
  }
  std::vector<char> temporary(key.path.begin(), key.path.end());
  const char suffix[] = ".XXXXXX";
  temporary.insert(temporary.end(), suffix, suffix + sizeof suffix);
  const int descriptor = mkstemp(temporary.data());
  if (descriptor < 0) return false;
  bool written = fchmod(descriptor, 0644) == 0 && WriteAll(descriptor, text) && fsync(descriptor) == 0;
  written = close(descriptor) == 0 && written;
  if (written && std::rename(temporary.data(), key.path.c_str()) == 0) return true;
  unlink(temporary.data());
  return false;
}

static bool ReadFile(FILE* file, PosixKey* key) {
  std::string line;
  long total = 0;
  for (int c; (c = std::fgetc(file)) != EOF;) {
    if (++total > StoreFileLimit) return false;
    if (c != '\n') {
      line += static_cast<char>(c);
      continue;
    }
    std::string name;
    StoredValue value;
    if (ParseLine(line, &name, &value)) key->values[name] = value;
    line.clear();
  }
  std::string name;
  StoredValue value;
  if (ParseLine(line, &name, &value)) key->values[name] = value;
  return !std::ferror(file);
}

bool StoreOpen(StoreKey* key, bool* createdNew) {
  std::string folder = SettingsFolder();
  if (!MakeFolders(folder)) return false;
  PosixKey* opened = new PosixKey;
  opened->path = folder + "/settings";
  opened->written = false;
  FILE* file = std::fopen(opened->path.c_str(), "r");
  if (file == nullptr) {
    // A new key: the file is made when the values written into it are closed.
    if (errno != ENOENT) {
      delete opened;
      return false;
    }
    *createdNew = true;
  } else {
    const bool read = ReadFile(file, opened);
    std::fclose(file);
    if (!read) {
      delete opened;
      return false;
    }
    *createdNew = false;
  }
  key->handle = opened;
  return true;
}

StoreStatus StoreRead(StoreKey key, const char* name, void* data, uint32_t* size) {
  PosixKey* opened = static_cast<PosixKey*>(key.handle);
  auto found = opened->values.find(name);
  if (found == opened->values.end()) return StoreMissing;
  if (found->second.malformed) return StoreFailed;
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
  value.malformed = false;
  value.line.clear();
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  value.bytes.assign(bytes, bytes + size);
  opened->written = true;
  return true;
}

bool StoreClose(StoreKey key) {
  PosixKey* opened = static_cast<PosixKey*>(key.handle);
  const bool kept = !opened->written || WriteFile(*opened);
  delete opened;
  return kept;
}

// The X11 program and tumbra_frames run on with a value they cannot read,
// and say so: a settings file is edited by hand.
bool StoreTakesDefault(StoreKey key, const char* name) {
  const PosixKey* opened = static_cast<const PosixKey*>(key.handle);
  std::fprintf(stderr, "tumbra: %s: the value \"%s\" is missing or cannot be read; its default is used\n",
               opened->path.c_str(), name);
  return true;
}
