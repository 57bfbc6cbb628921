// Overlay text for the X11 build: a bold monospaced face found through
// fontconfig ("Courier New" where it or a metric twin is installed), at
// 10 points for the display's resolution, rasterised by FreeType straight
// into the frame surface, so the text is part of the frame that is shown.
// The text is UTF-8 (pattern names are whatever their files hold): what is
// no UTF-8, or has no glyph in the face, is drawn as the replacement
// character (or '?' where the face has none).
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "platform/utf8.h"
#include "platform/x11/x11.h"

namespace {

struct Glyph {
  bool ready;
  int32_t left;   // from the pen position to the first column
  int32_t top;    // from the baseline up to the first row
  int32_t width;
  int32_t rows;
  int32_t advance;
  std::vector<uint8_t> coverage;  // width x rows, 0..255
};

struct OverlayFace {
  FT_Library library;
  FT_Face face;
  bool embolden;  // the face has no bold of its own
  int32_t ascent;
  int32_t descent;
  int32_t maxAdvance;
  int32_t averageAdvance;
  Glyph glyphs[256];  // Latin-1, by code point
  // The rest as they come, up to OtherGlyphLimit (names are short; a new
  // glyph beyond that starts the store afresh).
  std::map<uint32_t, Glyph> others;
  Glyph replacement;  // U+FFFD, or the question mark where the face has none
};
const size_t OtherGlyphLimit = 512;

struct TextState {
  OverlayFace* font;
  uint32_t colour;      // 0x00RRGGBB
  uint32_t background;  // 0x00RRGGBB
  bool opaque;
};

TextState Text = {nullptr, 0, 0xFFFFFFu, true};

int32_t Ceil26(FT_Pos value) { return static_cast<int32_t>((value + 63) >> 6); }

bool FindFontFile(int32_t pixels, std::vector<char>* file, int* index, bool* embolden) {
  if (!FcInit()) return false;
  FcPattern* pattern = FcPatternCreate();
  if (pattern == nullptr) return false;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("Courier New"));
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("monospace"));
  FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_BOLD);
  FcPatternAddDouble(pattern, FC_PIXEL_SIZE, pixels);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (match == nullptr) return false;
  FcChar8* path = nullptr;
  FcBool bold = FcFalse;
  bool found = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path != nullptr;
  if (found) {
    const size_t length = std::strlen(reinterpret_cast<const char*>(path));
    file->assign(reinterpret_cast<const char*>(path), reinterpret_cast<const char*>(path) + length + 1);
    if (FcPatternGetInteger(match, FC_INDEX, 0, index) != FcResultMatch) *index = 0;
    *embolden = FcPatternGetBool(match, FC_EMBOLDEN, 0, &bold) == FcResultMatch && bold;
  }
  FcPatternDestroy(match);
  // The file is all that is needed: fontconfig's caches go now.
  FcFini();
  return found;
}

// Renders the face's glyph of character c.
void RenderGlyph(OverlayFace* font, uint32_t c, Glyph* glyph) {
  glyph->ready = true;
  if (FT_Load_Char(font->face, c, FT_LOAD_DEFAULT) != 0) return;
  FT_GlyphSlot slot = font->face->glyph;
  if (font->embolden) FT_GlyphSlot_Embolden(slot);
  if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return;
  const FT_Bitmap& bitmap = slot->bitmap;
  glyph->left = slot->bitmap_left;
  glyph->top = slot->bitmap_top;
  glyph->advance = static_cast<int32_t>((slot->advance.x + 32) >> 6);
  if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) return;
  glyph->width = static_cast<int32_t>(bitmap.width);
  glyph->rows = static_cast<int32_t>(bitmap.rows);
  glyph->coverage.resize(static_cast<size_t>(glyph->width) * static_cast<size_t>(glyph->rows));
  for (int32_t y = 0; y < glyph->rows; ++y)
    std::memcpy(&glyph->coverage[static_cast<size_t>(y) * glyph->width], bitmap.buffer + y * bitmap.pitch,
                static_cast<size_t>(glyph->width));
}

// A character's glyph, rendered at first use; one the face has none of
// looks like the replacement character.
const Glyph* GlyphOf(OverlayFace* font, uint32_t c) {
  if (c == Utf8Replacement) return &font->replacement;
  Glyph* glyph = nullptr;
  if (c < 256) {
    glyph = &font->glyphs[c];
  } else {
    auto found = font->others.find(c);
    if (found != font->others.end()) return &found->second;
    if (font->others.size() >= OtherGlyphLimit) font->others.clear();
    glyph = &font->others[c];
  }
  if (glyph->ready) return glyph;
  if (FT_Get_Char_Index(font->face, c) != 0)
    RenderGlyph(font, c, glyph);
  else
    *glyph = font->replacement;
  return glyph;
}

uint32_t Blend(uint32_t base, uint32_t colour, uint32_t alpha) {
  uint32_t result = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int32_t b = static_cast<int32_t>((base >> shift) & 0xFFu);
    const int32_t c = static_cast<int32_t>((colour >> shift) & 0xFFu);
    const int32_t mixed = b + ((c - b) * static_cast<int32_t>(alpha) + (c >= b ? 127 : -127)) / 255;
    result |= static_cast<uint32_t>(mixed) << shift;
  }
  return result;
}

void FillRect(FrameSurface* surface, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t colour) {
  if (x0 < 0) x0 = 0;
  if (y0 < 0) y0 = 0;
  if (x1 > surface->width) x1 = surface->width;
  if (y1 > surface->height) y1 = surface->height;
  for (int32_t y = y0; y < y1; ++y) {
    uint32_t* row = reinterpret_cast<uint32_t*>(surface->bits + static_cast<intptr_t>(y) * surface->stride);
    for (int32_t x = x0; x < x1; ++x) row[x] = colour;
  }
}

}  // namespace

FontHandle PlatformCreateOverlayFont(WindowHandle) {
  static OverlayFace face;
  if (face.face != nullptr) return &face;
  // Ten points at the display's resolution, as the font height of the
  // Windows saver: the em square, rounded to whole pixels.
  const double dpi = X11.dpi > 0 ? X11.dpi : 96.0;
  const int32_t pixels = static_cast<int32_t>(10.0 * dpi / 72.0 + 0.5);
  std::vector<char> file;
  int index = 0;
  if (!FindFontFile(pixels, &file, &index, &face.embolden)) return nullptr;
  if (FT_Init_FreeType(&face.library) != 0) return nullptr;
  if (FT_New_Face(face.library, file.data(), index, &face.face) != 0) {
    face.face = nullptr;
    return nullptr;
  }
  if (FT_Set_Pixel_Sizes(face.face, 0, static_cast<FT_UInt>(pixels)) != 0) {
    FT_Done_Face(face.face);
    face.face = nullptr;
    return nullptr;
  }
  const FT_Size_Metrics& metrics = face.face->size->metrics;
  face.ascent = Ceil26(metrics.ascender);
  face.descent = Ceil26(-metrics.descender);
  face.maxAdvance = Ceil26(metrics.max_advance);
  if (FT_Get_Char_Index(face.face, Utf8Replacement) != 0)
    RenderGlyph(&face, Utf8Replacement, &face.replacement);
  else
    face.replacement = *GlyphOf(&face, '?');
  face.averageAdvance = GlyphOf(&face, 'x')->advance;
  if (face.maxAdvance < face.averageAdvance) face.maxAdvance = face.averageAdvance;
  return &face;
}

void PlatformSelectFont(ContextHandle, FontHandle font) { Text.font = static_cast<OverlayFace*>(font); }

void PlatformGetTextMetrics(ContextHandle, TextMetrics* metrics) {
  if (Text.font == nullptr) {
    // No font: the lines keep their places, nothing is drawn.
    *metrics = TextMetrics{16, 8, 8};
    return;
  }
  metrics->height = Text.font->ascent + Text.font->descent;
  metrics->aveCharWidth = Text.font->averageAdvance;
  metrics->maxCharWidth = Text.font->maxAdvance;
}

void PlatformSetTextColour(ContextHandle, uint32_t colour) { Text.colour = colour; }
void PlatformSetBackgroundOpaque(ContextHandle, bool opaque) { Text.opaque = opaque; }
void PlatformSetBackgroundColour(ContextHandle, uint32_t colour) { Text.background = colour; }

void PlatformTextOut(ContextHandle dc, int32_t x, int32_t y, const char* text, int32_t length) {
  FrameSurface* surface = static_cast<FrameSurface*>(dc);
  OverlayFace* font = Text.font;
  if (surface == nullptr || surface->bits == nullptr || font == nullptr || text == nullptr || length <= 0) return;
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
  int32_t width = 0;
  for (int32_t i = 0, used = 1; i < length; i += used) width += GlyphOf(font, DecodeUtf8(bytes + i, length - i, &used))->advance;
  if (Text.opaque) FillRect(surface, x, y, x + width, y + font->ascent + font->descent, Text.background);
  const int32_t baseline = y + font->ascent;
  int32_t pen = x;
  for (int32_t i = 0, used = 1; i < length; i += used) {
    const Glyph* glyph = GlyphOf(font, DecodeUtf8(bytes + i, length - i, &used));
    for (int32_t gy = 0; gy < glyph->rows; ++gy) {
      const int32_t sy = baseline - glyph->top + gy;
      if (sy < 0 || sy >= surface->height) continue;
      uint32_t* row = reinterpret_cast<uint32_t*>(surface->bits + static_cast<intptr_t>(sy) * surface->stride);
      const uint8_t* coverage = &glyph->coverage[static_cast<size_t>(gy) * glyph->width];
      for (int32_t gx = 0; gx < glyph->width; ++gx) {
        const int32_t sx = pen + glyph->left + gx;
        if (sx < 0 || sx >= surface->width || coverage[gx] == 0) continue;
        row[sx] = coverage[gx] == 255 ? Text.colour : Blend(row[sx], Text.colour, coverage[gx]);
      }
    }
    pen += glyph->advance;
  }
}
