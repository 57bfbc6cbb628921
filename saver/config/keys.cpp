// The keyboard rules of the settings dialog and the About box.
#include <cstring>

#include "config/config.h"

// ---- Keyboard ------------------------------------------------------------------------

KeyMove SettingsKeyMove(uint32_t key, bool shift, bool control, const FocusSpot& spot) {
  if (control) {
    if (key == KeyTab) return shift ? KeyPreviousPage : KeyNextPage;
    if (key == KeyPageDown) return KeyNextPage;
    if (key == KeyPageUp) return KeyPreviousPage;
    return KeyNative;
  }
  if (key != KeyTab) return KeyNative;
  if (!shift) {
    if (spot.onTabs && spot.pageHasStops) return KeyToPageFirst;
    if (spot.inPage && spot.pageLast) return KeyToAfterTabs;
  } else {
    if (spot.inPage && spot.pageFirst) return KeyToTabs;
    if (spot.afterTabs && spot.pageHasStops) return KeyToPageLast;
  }
  return KeyNative;
}

AboutKeysState AboutKeys = {};

void NoteKeysHeldAtOpen(const uint8_t keyState[256]) {
  std::memset(AboutKeys.held, 0, sizeof AboutKeys.held);
  for (uint32_t key = 0; key < 256; ++key)
    if (keyState[key] & 0x80) AboutKeys.held[key / 8] |= static_cast<uint8_t>(1u << (key % 8));
}

void NoteAboutKeyDown(uint32_t key) {
  if (key < 256) AboutKeys.held[key / 8] &= static_cast<uint8_t>(~(1u << (key % 8)));
}

bool AboutKeyReleaseCloses(uint32_t key) {
  if (key >= 256) return true;
  const uint8_t bit = static_cast<uint8_t>(1u << (key % 8));
  if ((AboutKeys.held[key / 8] & bit) == 0) return true;
  AboutKeys.held[key / 8] &= static_cast<uint8_t>(~bit);
  return false;
}
