#include <cstring>

#include "fakes/fakes.h"

FakeStoreState FakeStore;

void FakeStoreReset() { FakeStore = FakeStoreState(); }

void FakeStorePutDword(const std::string& name, uint32_t value) {
  FakeValue& v = FakeStore.values[name];
  v.type = StoreDword;
  v.bytes.assign(reinterpret_cast<uint8_t*>(&value), reinterpret_cast<uint8_t*>(&value) + 4);
  FakeStore.exists = true;
}

void FakeStorePutBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
  FakeValue& v = FakeStore.values[name];
  v.type = StoreBinary;
  v.bytes = bytes;
  FakeStore.exists = true;
}

bool StoreOpen(StoreKey* key, bool* createdNew) {
  if (FakeStore.failOpen) return false;
  *createdNew = !FakeStore.exists;
  FakeStore.exists = true;
  FakeStore.opens += 1;
  key->handle = &FakeStore;
  return true;
}

StoreStatus StoreRead(StoreKey, const char* name, void* data, uint32_t* size) {
  if (FakeStore.failReadOf == name) return StoreFailed;
  auto found = FakeStore.values.find(name);
  if (found == FakeStore.values.end()) return StoreMissing;
  const std::vector<uint8_t>& bytes = found->second.bytes;
  if (bytes.size() > *size) return StoreTooLong;
  if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
  *size = static_cast<uint32_t>(bytes.size());
  return StoreOk;
}

bool StoreWrite(StoreKey, const char* name, StoreType type, const void* data, uint32_t size) {
  if (FakeStore.failWriteOf == name) return false;
  FakeValue& v = FakeStore.values[name];
  v.type = type;
  v.bytes.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
  FakeStore.writes.push_back(name);
  return true;
}

bool StoreClose(StoreKey) {
  FakeStore.closes += 1;
  return !FakeStore.failClose;
}

bool StoreTakesDefault(StoreKey, const char* name) {
  FakeStore.defaultsTaken.push_back(name);
  return FakeStore.takeDefaults;
}
