// The built-in settings as a store holds them after a first start, read from
// the one list that every test of the defaults shares
// (tests/data/default_settings.txt).
#pragma once

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct StoredDefault {
  std::string name;
  std::string type;  // "dword" or "binary"
  std::vector<uint8_t> bytes;
  std::string line;  // as the file has it
};

inline std::vector<StoredDefault> StoredDefaults() {
  std::vector<StoredDefault> values;
  std::ifstream in(std::string(TEST_DATA_DIR) + "/default_settings.txt");
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    StoredDefault value;
    std::string hex;
    std::istringstream fields(line);
    fields >> value.name >> value.type >> hex;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
      value.bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    value.line = line;
    values.push_back(value);
  }
  return values;
}
