// tumbra_frames: runs the saver's engine without a window and writes frames
// of it to picture files. The engine, the catalogue, the lifeface loading and
// the native files, surfaces and settings store are the real ones; only the
// clock is virtual (virtual_clock.cpp), so a run is repeatable to the pixel.
// The settings are the defaults with the options applied; the user's own are
// neither read nor changed. Text is not drawn natively, so the overlay is absent.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/plane.h"
#include "loop/loop.h"
#include "host/options.h"
#include "lifeface/lifeface.h"
#include "render/render.h"
#include "settings/settings.h"
#include "field_rle.h"
#include "virtual_clock.h"

extern char** environ;

#ifndef TUMBRA_FRAMES_CATALOGUE
#define TUMBRA_FRAMES_CATALOGUE "."
#endif

struct FramesOptions {
  std::string catalogue = TUMBRA_FRAMES_CATALOGUE;
  int32_t width = 1024;
  int32_t height = 768;
  SettingOverrides overrides;  // the tumbra program's options for the picture
  int64_t frames = 200;
  uint32_t uptime = 1000000;  // the tick count the virtual clock starts at
  int64_t every = 0;
  std::string out = "frame.png";
  std::string dump;  // the field as RLE beside each frame written; empty: none
  bool pictures = true;  // false: the dumps alone
  bool list = false;
  FrontEndOptions front;  // as parsed: the pattern collection given
};

static const char Usage[] =
    "usage: tumbra_frames [options]\n"
    "Runs the tumbra screen saver's engine without a window and writes frames to\n"
    "picture files (BMP directly, anything else through ImageMagick's convert).\n"
    "\n"
    "  --catalogue DIR     folder holding tumbra.ini and its folder tumbra\n"
    "                      (default: the build's generated data)\n"
    "  --list              print the lifefaces of the catalogue and stop\n"
    "  --size WxH          client area in pixels (default 1024x768)\n"
    "  --frames N          frames of the loop to run (default 200)\n"
    "  --uptime MS         the tick count at start, 0 to 4294967295 (default 1000000)\n"
    "  --every K           write every K-th frame as a series, numbered before the\n"
    "                      extension (frame-000040.png); default: the last frame only\n"
    "  --out FILE          picture to write (default frame.png)\n"
    "  --dump FILE         with each picture, write the field as an RLE pattern of\n"
    "                      the whole torus under its rule (B3/S23:T1024,768), which\n"
    "                      Golly continues as it stands; numbered as the pictures\n"
    "  --dump-only         write the dumps without the pictures\n"
    "\n"
    "Settings of the run: the defaults, changed by the tumbra program's options\n"
    "(the clock, and so a seed of 0, is virtual; a lifeface given by --face that\n"
    "cannot be shown is an error, and so is a --pattern FILE that cannot be read;\n"
    "without --patterns or --pattern the collection is the shipped data/patterns):\n";

[[noreturn]] static void Fail(const std::string& message) {
  std::fprintf(stderr, "tumbra_frames: %s\n", message.c_str());
  std::exit(2);
}

static int64_t NumberArgument(const char* option, const std::string& text, int64_t low, int64_t high) {
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || end == text.c_str() || *end != 0 || value < low || value > high)
    Fail(std::string(option) + " takes a number from " + std::to_string(low) + " to " + std::to_string(high));
  return value;
}

// This program's own options, beside the tumbra program's table.
enum FramesOption {
  OptionSize,
  OptionFrames,
  OptionUptime,
  OptionEvery,
  OptionOut,
  OptionDump,
  OptionDumpOnly,
  OptionList
};
static const ProgramOption FramesOptionTable[] = {
    {"size", true}, {"frames", true}, {"uptime", true}, {"every", true},
    {"out", true},  {"dump", true},   {"dump-only", false}, {"list", false},
};

static FramesOptions ParseOptions(int argc, char** argv) {
  FrontEndOptions front;
  std::vector<ProgramArgument> own;
  std::string error;
  if (!ParseFrontEndOptions(argc, argv, FramesOptionTable, static_cast<int>(std::size(FramesOptionTable)), &front,
                            &own, &error))
    Fail(error + " (see --help)");
  if (front.help) {
    std::fputs(Usage, stdout);
    std::fputs(SettingOptionsUsage().c_str(), stdout);
    std::exit(0);
  }
  // Frames are drawn into no window.
  if (front.target != TargetOwnWindow) Fail("--root, --window-id and --fullscreen do not apply: no window is drawn");
  FramesOptions options;
  if (!front.catalogue.empty()) options.catalogue = front.catalogue;
  options.overrides = front.overrides;
  options.front = front;
  for (const ProgramArgument& argument : own) {
    const std::string& value = argument.value;
    switch (static_cast<FramesOption>(argument.option)) {
      case OptionSize: {
        int w = 0, h = 0;
        char tail = 0;
        if (std::sscanf(value.c_str(), "%dx%d%c", &w, &h, &tail) != 2 || w < 1 || h < 1 || w > 8192 || h > 8192)
          Fail("--size takes WIDTHxHEIGHT, each 1 to 8192");
        options.width = w;
        options.height = h;
        break;
      }
      case OptionFrames:
        options.frames = NumberArgument("--frames", value, 1, 100000000);
        break;
      case OptionUptime:
        options.uptime = static_cast<uint32_t>(NumberArgument("--uptime", value, 0, UINT32_MAX));
        break;
      case OptionEvery:
        options.every = NumberArgument("--every", value, 1, 100000000);
        break;
      case OptionOut:
        if (value.empty()) Fail("--out takes a file name");
        options.out = value;
        break;
      case OptionDump:
        if (value.empty()) Fail("--dump takes a file name");
        options.dump = value;
        break;
      case OptionDumpOnly:
        options.pictures = false;
        break;
      case OptionList:
        options.list = true;
        break;
    }
  }
  if (!options.pictures && options.dump.empty()) Fail("--dump-only takes --dump FILE");
  return options;
}

static std::string AbsolutePath(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  return (std::filesystem::current_path() / path).string();
}

// "frame.png" and 40 -> "frame-000040.png".
static std::string SeriesName(const std::string& out, int64_t frame) {
  char number[32];
  std::snprintf(number, sizeof number, "-%06lld", static_cast<long long>(frame));
  const size_t slash = out.rfind('/');
  const size_t dot = out.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return out + number;
  return out.substr(0, dot) + number + out.substr(dot);
}

static bool EndsWithBmp(const std::string& path) {
  if (path.size() < 4) return false;
  std::string tail = path.substr(path.size() - 4);
  for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return tail == ".bmp";
}

static void PutLittle(std::vector<uint8_t>& data, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) data.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// The bytes as the whole of the file; false when any of it could not be written.
static bool WriteWholeFile(const std::string& path, const void* data, size_t size) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(data, 1, size, file) == size;
  return (std::fclose(file) == 0) && written;
}

// The top-left width x height pixels of the frame surface as a 24-bit BMP.
static bool WriteBmp(const std::string& path, int32_t width, int32_t height) {
  const uint32_t rowBytes = (static_cast<uint32_t>(width) * 3u + 3u) & ~3u;
  const uint32_t pixelBytes = rowBytes * static_cast<uint32_t>(height);
  std::vector<uint8_t> data;
  data.reserve(54 + pixelBytes);
  data.push_back('B');
  data.push_back('M');
  PutLittle(data, 54 + pixelBytes, 4);
  PutLittle(data, 0, 4);
  PutLittle(data, 54, 4);
  PutLittle(data, 40, 4);
  PutLittle(data, static_cast<uint32_t>(width), 4);
  PutLittle(data, static_cast<uint32_t>(height), 4);
  PutLittle(data, 1, 2);
  PutLittle(data, 24, 2);
  PutLittle(data, 0, 4);
  PutLittle(data, pixelBytes, 4);
  PutLittle(data, 2835, 4);
  PutLittle(data, 2835, 4);
  PutLittle(data, 0, 4);
  PutLittle(data, 0, 4);
  for (int32_t y = height - 1; y >= 0; --y) {
    const uint32_t* row = SurfacePixel(View.Surface, 0, y);
    for (int32_t x = 0; x < width; ++x) {
      data.push_back(static_cast<uint8_t>(row[x]));
      data.push_back(static_cast<uint8_t>(row[x] >> 8));
      data.push_back(static_cast<uint8_t>(row[x] >> 16));
    }
    data.resize(data.size() + (rowBytes - static_cast<uint32_t>(width) * 3u), 0);
  }
  return WriteWholeFile(path, data.data(), data.size());
}

// Any other format: ImageMagick converts a BMP written beside the picture.
static bool Convert(const std::string& bmp, const std::string& out) {
  std::vector<std::string> words = {"convert", bmp, "-strip", "-define", "png:compression-level=9", out};
  std::vector<char*> args;
  for (std::string& w : words) args.push_back(w.data());
  args.push_back(nullptr);
  pid_t child = 0;
  if (posix_spawnp(&child, "convert", nullptr, nullptr, args.data(), environ) != 0) return false;
  int status = 0;
  while (waitpid(child, &status, 0) < 0)
    if (errno != EINTR) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The field as Golly would continue it: every cell of the torus in place,
// the rule's canonical text and the torus of the field's size.
// The plane's pattern as bgolly reads it, with its generation: macrocell for
// a FILE ending in .mc, RLE with its place otherwise.
const size_t PlaneDumpLimit = 256u << 20;

static bool EndsWith(const std::string& text, const char* tail) {
  const size_t n = std::strlen(tail);
  return text.size() >= n && text.compare(text.size() - n, n, tail) == 0;
}

static void WriteDump(const std::string& path) {
  if (Field.OnPlane) {
    std::string text;
    const bool written =
        EndsWith(path, ".mc") ? WritePlaneMacrocell(&text, PlaneDumpLimit) : WritePlaneRle(&text, PlaneDumpLimit);
    if (!written) Fail("the plane's pattern is too large to dump to " + path);
    if (!WriteWholeFile(path, text.data(), text.size())) Fail("cannot write " + path);
    return;
  }
  const FrameLayout layout = CurrentLayout();
  const CellRule& rule = Field.Rule;
  if (Field.GridEdge > 0) {
    // A bounded plane: the cells within its border, as Golly keeps it.
    const int32_t edge = Field.GridEdge, columns = layout.columns - 2 * edge, rows = layout.rows - 2 * edge;
    std::vector<uint8_t> cells, decay;
    for (int32_t y = 0; y < rows; ++y) {
      const size_t from = static_cast<size_t>(y + edge) * layout.columns + edge;
      cells.insert(cells.end(), Grid.LiveCells + from, Grid.LiveCells + from + columns);
      decay.insert(decay.end(), Grid.decay + from, Grid.decay + from + columns);
    }
    const std::string text = FieldRle(cells.data(), columns, rows, FieldRleRule(rule, columns, rows, 'P').c_str(),
                                      DecayPlaneInUse() ? decay.data() : nullptr, rule.states);
    if (!WriteWholeFile(path, text.data(), text.size())) Fail("cannot write " + path);
    return;
  }
  const std::string text = FieldRle(Grid.LiveCells, layout.columns, layout.rows,
                                    FieldRleRule(rule, layout.columns, layout.rows).c_str(),
                                    DecayPlaneInUse() ? Grid.decay : nullptr, rule.states);
  if (!WriteWholeFile(path, text.data(), text.size())) Fail("cannot write " + path);
}

static void WritePicture(const FramesOptions& options, const std::string& path) {
  const int32_t width = std::min(options.width, View.Surface->width);
  const int32_t height = std::min(options.height, View.Surface->height);
  if (EndsWithBmp(path)) {
    if (!WriteBmp(path, width, height)) Fail("cannot write " + path);
  } else {
    const std::string bmp = path + ".tmp.bmp";
    if (!WriteBmp(bmp, width, height)) Fail("cannot write " + bmp);
    const bool converted = Convert(bmp, path);
    std::remove(bmp.c_str());
    if (!converted) Fail("ImageMagick's convert could not write " + path);
  }
}

// The picture and the dump asked for, and a line on the field naming the
// first of them written.
static void WriteFrame(const FramesOptions& options, const std::string& picture, const std::string& dump) {
  if (options.pictures) WritePicture(options, picture);
  if (!dump.empty()) WriteDump(dump);
  const std::string& named = options.pictures ? picture : dump;
  std::printf("%s: generation %" PRId64 ", population %" PRId64 ", resets %d%s%s\n", named.c_str(), Field.Generation,
              Field.Population,
              Field.ResetCount, Field.PatternName[0] != 0 ? ", pattern " : "", Field.PatternName);
}

static void ListCatalogue() {
  for (int32_t i = 0; i < LifefaceCatalogue.count; ++i) {
    const LifefaceRecord& r = LifefaceCatalogue.records[i];
    std::printf("%d\t%s\tpixels %d\tflags %d\tcoltime %d\trowtime %d\t%s\n", i, r.name, r.pixels, r.flags, r.coltime,
                r.rowtime, r.comment);
  }
}

int main(int argc, char** argv) {
  FramesOptions options = ParseOptions(argc, argv);
  options.out = AbsolutePath(options.out);
  if (!options.dump.empty()) options.dump = AbsolutePath(options.dump);
  const std::string catalogue = options.catalogue + "/tumbra.ini";
  if (access(catalogue.c_str(), R_OK) != 0) Fail("no tumbra.ini in " + options.catalogue);
  // The bitmaps are found beside the catalogue, wherever the run started.
  LoadCatalogue(catalogue.c_str());
  if (options.list) {
    // Only the catalogue: a listing must not depend on loading a picture.
    ListCatalogue();
    return 0;
  }

  // The pattern collection: the one given, else the shipped one.
  for (std::string& folder : options.front.patternFolders) folder = AbsolutePath(folder);
  for (std::string& file : options.front.patternFiles) file = AbsolutePath(file);
  if (const std::string refusal = PatternFileRefusal(options.front); !refusal.empty()) Fail(refusal);
  IndexPatterns(options.front, {TUMBRA_FRAMES_PATTERNS});

  VirtualNow = options.uptime;
  // The settings the run starts with: the defaults with the options applied.
  Settings = DefaultSettings;
  ApplyOverrides(options.overrides, &Settings);
  const bool animated = Settings.mode == ModeAnimated;
  View.ClientWidth = options.width;
  View.ClientHeight = options.height;
  StartEngine(nullptr, Align256(options.width), Align256(options.height));
  // A lifeface asked for by number must be the one shown; left to itself the
  // saver would quietly fall back to lifeface 0 or to classic frames.
  const SettingOverrides& asked = options.overrides;
  if (asked.faceGiven && animated && (Settings.face != asked.face || !CurrentLayout().animated))
    Fail("lifeface " + std::to_string(asked.face) + " cannot be shown; the catalogue holds " +
         std::to_string(LifefaceCatalogue.count) + " (see --list)");
  if (animated && !CurrentLayout().animated)
    std::fprintf(stderr, "tumbra_frames: no usable lifeface; the frames are classic\n");

  for (int64_t computed = 1; computed <= options.frames; ++computed) {
    VirtualNow += FrameDueIn(VirtualNow);
    DrawDueFrame(nullptr, VirtualNow);
    if (options.every > 0 && computed % options.every == 0)
      WriteFrame(options, SeriesName(options.out, computed),
                 options.dump.empty() ? std::string() : SeriesName(options.dump, computed));
  }
  if (options.every == 0) WriteFrame(options, options.out, options.dump);
  return 0;
}
