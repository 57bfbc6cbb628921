// The lifeface catalogue: a scanner with one character of look-ahead over
// 1024-byte blocks, and a line parser whose keys are SettingDef rows.
//
// Too-long input: a token of more than 79 characters is read to its end (so
// the scanner stays in step) but never stored; it makes its line malformed
// from that token on. The same holds for a section name whose joined tokens
// pass 79 characters: the header is ignored, as one without "]" is.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "lifeface/lifeface.h"
#include "platform/chars.h"

LifefaceCatalogueState LifefaceCatalogue = {nullptr, 0, 0, {0}};

#define CATALOGUE_KEY(name, member, size, count) \
  { name, static_cast<int32_t>(offsetof(LifefaceRecord, member)), size, count }

// Sorted by key: it is searched by binary search.
const SettingDef CatalogueKeys[CatalogueKeyRows] = {
    CATALOGUE_KEY("author", author, 1, LifefaceTextSize),
    CATALOGUE_KEY("bmp", bmp, 1, LifefaceTextSize),
    CATALOGUE_KEY("coltime", coltime, 4, 1),
    CATALOGUE_KEY("comment", comment, 1, LifefaceTextSize),
    CATALOGUE_KEY("flags", flags, 4, 1),
    CATALOGUE_KEY("pixels", pixels, 4, 1),
    CATALOGUE_KEY("rowtime", rowtime, 4, 1),
    CATALOGUE_KEY("x0", x0, 4, 1),
    CATALOGUE_KEY("x1", x1, 4, 1),
    CATALOGUE_KEY("x2", x2, 4, 1),
    CATALOGUE_KEY("x3", x3, 4, 1),
    CATALOGUE_KEY("y0", y0, 4, 1),
    CATALOGUE_KEY("y1", y1, 4, 1),
};

namespace {

const uint32_t BlockSize = 1024;
const int EndOfInput = -1;
const int32_t CapacityStep = 16;

enum TokenKind {
  TokenWord,
  TokenNumber,
  TokenString,
  TokenBroken,  // a string cut off by the end of its line or a byte outside 0x20..0x7E
  TokenChar,
  TokenEndOfLine,
  TokenEndOfInput,
};

struct Scanner {
  FileHandle file;     // the catalogue file, or null when reading text in memory
  const char* text;    // the rest of the text in memory
  size_t textLeft;
  uint8_t block[BlockSize];
  uint32_t blockLength;
  uint32_t blockPosition;
  int look;            // the look-ahead character, or EndOfInput
  TokenKind kind;
  char token[LifefaceTextSize];
  uint32_t length;     // characters held in token
  bool tooLong;        // the token had more characters than token holds
  uint32_t value;      // of a number, wrapping at 32 bits
  int character;       // of a single character
  int32_t current;     // the record assignments go to, -1 before the first header
};

bool IsLetter(int c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
// White space inside a line: all the C locale's but the line feed, which ends one.
bool IsLineSpace(int c) { return IsSpace(c) && c != '\n'; }
bool IsWordStart(int c) { return IsLetter(c) || c == '_'; }
bool IsWordPart(int c) { return IsLetter(c) || IsDigit(c) || c == '_' || c == '-' || c == '.'; }
int Lower(int c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }

int CompareNoCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    const int ca = Lower(static_cast<unsigned char>(*a));
    const int cb = Lower(static_cast<unsigned char>(*b));
    if (ca != cb || ca == 0) return ca - cb;
  }
}

bool Refill(Scanner* s) {
  uint32_t got = 0;
  if (s->file != nullptr) {
    if (!PlatformRead(s->file, s->block, BlockSize, &got)) PlatformExit(1);
    if (got > BlockSize) got = BlockSize;
  } else {
    got = s->textLeft < BlockSize ? static_cast<uint32_t>(s->textLeft) : BlockSize;
    std::memcpy(s->block, s->text, got);
    s->text += got;
    s->textLeft -= got;
  }
  s->blockLength = got;
  s->blockPosition = 0;
  return got > 0;
}

// Moves the look-ahead on by one byte. A byte 0 ends the input for good.
void Advance(Scanner* s) {
  if (s->look == EndOfInput) return;
  if (s->blockPosition == s->blockLength && !Refill(s)) {
    s->look = EndOfInput;
    return;
  }
  const uint8_t c = s->block[s->blockPosition++];
  s->look = c == 0 ? EndOfInput : c;
}

void StartScanner(Scanner* s) {
  s->blockLength = 0;
  s->blockPosition = 0;
  s->look = 0;
  s->current = -1;
  Advance(s);
}

// Leaves the look-ahead on the LF that ends the line (or at the end).
void SkipToEndOfLine(Scanner* s) {
  while (s->look != '\n' && s->look != EndOfInput) Advance(s);
}

void Keep(Scanner* s, int c) {
  if (s->length < LifefaceTextSize - 1)
    s->token[s->length++] = static_cast<char>(c);
  else
    s->tooLong = true;
}

void NextToken(Scanner* s) {
  s->length = 0;
  s->tooLong = false;
  s->value = 0;
  s->character = 0;
  while (IsLineSpace(s->look)) Advance(s);
  if (s->look == ';') SkipToEndOfLine(s);
  const int c = s->look;
  if (c == EndOfInput) {
    s->kind = TokenEndOfInput;
  } else if (c == '\n') {
    Advance(s);
    s->kind = TokenEndOfLine;
  } else if (IsWordStart(c)) {
    while (IsWordPart(s->look)) {
      Keep(s, s->look);
      Advance(s);
    }
    s->kind = TokenWord;
  } else if (IsDigit(c)) {
    while (IsDigit(s->look)) {
      Keep(s, s->look);
      s->value = s->value * 10u + static_cast<uint32_t>(s->look - '0');
      Advance(s);
    }
    s->kind = TokenNumber;
  } else if (c == '"' || c == '\'') {
    Advance(s);
    while (s->look >= 0x20 && s->look <= 0x7E && s->look != c) {
      Keep(s, s->look);
      Advance(s);
    }
    if (s->look == c) {
      Advance(s);
      s->kind = TokenString;
    } else {
      SkipToEndOfLine(s);
      s->kind = TokenBroken;
    }
  } else {
    Keep(s, c);
    Advance(s);
    s->kind = TokenChar;
    s->character = c;
  }
  s->token[s->length] = 0;
}

bool IsChar(const Scanner* s, int c) { return s->kind == TokenChar && s->character == c; }
bool AtEndOfLine(const Scanner* s) { return s->kind == TokenEndOfLine || s->kind == TokenEndOfInput; }

// Words, numbers and printable punctuation other than "]" make up a name.
bool IsNameToken(const Scanner* s) {
  if (s->kind == TokenWord || s->kind == TokenNumber) return true;
  return s->kind == TokenChar && s->character > 0x20 && s->character < 0x7F && s->character != ']';
}

const SettingDef* FindKey(const char* key) {
  int low = 0;
  int high = CatalogueKeyRows;
  while (low < high) {
    const int middle = (low + high) / 2;
    const int order = CompareNoCase(key, CatalogueKeys[middle].key);
    if (order == 0) return &CatalogueKeys[middle];
    if (order < 0)
      high = middle;
    else
      low = middle + 1;
  }
  return nullptr;
}

void GrowRecords() {
  LifefaceCatalogueState& c = LifefaceCatalogue;
  const size_t limit = SIZE_MAX / sizeof(LifefaceRecord);
  if (c.capacity > INT32_MAX - CapacityStep || static_cast<size_t>(c.capacity) + CapacityStep > limit) PlatformExit(1);
  const int32_t capacity = c.capacity + CapacityStep;
  void* grown = std::realloc(c.records, static_cast<size_t>(capacity) * sizeof(LifefaceRecord));
  if (grown == nullptr) PlatformExit(1);
  c.records = static_cast<LifefaceRecord*>(grown);
  c.capacity = capacity;
}

// A repeated name reopens its record; a new one replaces the last record when
// that one is unusable, so every record is tested once, as the last one.
void OpenSection(Scanner* s, const char* name) {
  LifefaceCatalogueState& c = LifefaceCatalogue;
  for (int32_t i = 0; i < c.count; ++i) {
    if (CompareNoCase(c.records[i].name, name) == 0) {
      s->current = i;
      return;
    }
  }
  if (c.capacity == 0)
    GrowRecords();
  else if (c.count > 0 && !LifefaceUsable(&c.records[c.count - 1]))
    --c.count;
  else if (c.count + 1 > c.capacity)
    GrowRecords();
  LifefaceRecord* record = &c.records[c.count];
  std::memset(record, 0, sizeof *record);
  std::memcpy(record->name, name, std::strlen(name) + 1);
  s->current = c.count;
  ++c.count;
}

// "[" has been read. True when the header was whole; the token is then the end of the line.
bool ParseHeader(Scanner* s) {
  char name[LifefaceTextSize];
  size_t length = 0;
  int parts = 0;
  NextToken(s);
  while (IsNameToken(s)) {
    const size_t gap = parts > 0 ? 1 : 0;
    if (s->tooLong || length + gap + s->length > LifefaceTextSize - 1) return false;
    if (gap) name[length++] = ' ';
    std::memcpy(name + length, s->token, s->length);
    length += s->length;
    ++parts;
    NextToken(s);
  }
  if (parts == 0 || !IsChar(s, ']')) return false;
  NextToken(s);
  if (!AtEndOfLine(s)) return false;
  name[length] = 0;
  OpenSection(s, name);
  return true;
}

// Stores the value token into the current record when it suits the key.
bool TakeValue(Scanner* s, const SettingDef* row) {
  if (s->tooLong) return false;
  uint8_t* member = nullptr;
  if (s->current >= 0)
    member = reinterpret_cast<uint8_t*>(&LifefaceCatalogue.records[s->current]) + row->offset;
  if (SettingIsNumber(*row)) {
    if (s->kind != TokenNumber) return false;
    const int32_t value = static_cast<int32_t>(s->value);
    if (member != nullptr) std::memcpy(member, &value, sizeof value);
    return true;
  }
  if (row->elementSize != 1) return false;
  if (s->kind != TokenWord && s->kind != TokenString) return false;
  if (s->length >= static_cast<uint32_t>(row->elementCount)) return false;
  if (member != nullptr) {
    std::memset(member, 0, static_cast<size_t>(row->elementCount));
    std::memcpy(member, s->token, s->length);
  }
  return true;
}

// The token is the first key. True when the line ended well.
bool ParseAssignments(Scanner* s) {
  for (;;) {
    if (s->kind != TokenWord || s->tooLong) return false;
    const SettingDef* row = FindKey(s->token);
    if (row == nullptr) return false;
    NextToken(s);
    if (!IsChar(s, '=')) return false;
    NextToken(s);
    if (IsChar(s, ',')) {  // "key = ," assigns nothing and goes on
      NextToken(s);
      continue;
    }
    if (!TakeValue(s, row)) return false;
    NextToken(s);
    if (AtEndOfLine(s)) return true;
    if (!IsChar(s, ',')) return false;
    NextToken(s);
  }
}

void ParseCatalogue(Scanner* s) {
  StartScanner(s);
  for (;;) {
    NextToken(s);
    if (s->kind == TokenEndOfInput) break;
    if (s->kind == TokenEndOfLine) continue;
    bool whole = false;
    if (IsChar(s, '['))
      whole = ParseHeader(s);
    else if (s->kind == TokenWord)
      whole = ParseAssignments(s);
    // The rest of a malformed line goes, unless the offending token ended it.
    if (!whole && !AtEndOfLine(s)) SkipToEndOfLine(s);
  }
  LifefaceCatalogueState& c = LifefaceCatalogue;
  if (c.count > 0 && !LifefaceUsable(&c.records[c.count - 1])) --c.count;
}

// Keeps the folder of the catalogue's full path, with its separator. A path
// that may have been cut short, or a folder too long to keep, leaves none.
void SetFolder(const char* foundPath, size_t size) {
  char* folder = LifefaceCatalogue.folder;
  folder[0] = 0;
  const void* end = std::memchr(foundPath, 0, size);
  if (end == nullptr) return;
  const size_t length = static_cast<size_t>(static_cast<const char*>(end) - foundPath);
  if (length + 1 >= size) return;
  size_t cut = 0;
  for (size_t i = 0; i < length; ++i)
    if (foundPath[i] == '\\' || foundPath[i] == '/') cut = i + 1;
  if (cut >= sizeof LifefaceCatalogue.folder) return;
  std::memcpy(folder, foundPath, cut);
  folder[cut] = 0;
}

}  // namespace

void ClearCatalogue() {
  LifefaceCatalogue.count = 0;
  LifefaceCatalogue.folder[0] = 0;
}

void ParseCatalogueText(const char* text, size_t length) {
  ClearCatalogue();
  Scanner scanner{};
  scanner.text = text;
  scanner.textLeft = text != nullptr ? length : 0;
  ParseCatalogue(&scanner);
}

void LoadCatalogue(const char* fileName) {
  char found[1024] = {0};
  FileHandle file = PlatformOpenRead(fileName, found, sizeof found);
  if (file == nullptr) PlatformExit(1);
  ClearCatalogue();
  SetFolder(found, sizeof found);
  Scanner scanner{};
  scanner.file = file;
  ParseCatalogue(&scanner);
  PlatformClose(file);
}

// Only what can be told without loading the picture: a tile size, a name, and
// a bitmap file big enough for one tile and the headers.
bool LifefaceUsable(const LifefaceRecord* record) {
  if (record->pixels == 0 || record->name[0] == 0 || record->bmp[0] == 0) return false;
  char path[sizeof LifefaceCatalogue.folder + LifefaceTextSize];
  if (!LifefacePath(record, path, sizeof path)) return false;
  FileHandle file = PlatformOpenRead(path, nullptr, 0);
  if (file == nullptr) return false;
  uint32_t size = 0;
  const bool sized = PlatformFileSize(file, &size);
  PlatformClose(file);
  const uint32_t p = static_cast<uint32_t>(record->pixels);
  return sized && size >= p * p + 26u;
}
