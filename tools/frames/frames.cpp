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
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "loop/loop.h"
#include "lifeface/lifeface.h"
#include "render/render.h"
#include "settings/settings.h"
#include "virtual_clock.h"

extern char** environ;

#ifndef TUMBRA_FRAMES_CATALOGUE
#define TUMBRA_FRAMES_CATALOGUE "."
#endif

struct FramesOptions {
  std::string catalogue = TUMBRA_FRAMES_CATALOGUE;
  int32_t width = 1024;
  int32_t height = 768;
  int32_t mode = ModeAnimated;
  int32_t face = -1;  // -1: the saver's own choice (random lifeface on)
  int32_t ascale = -1;
  int32_t cscale = -1;
  int32_t delay = -1;
  int32_t seed = 0;
  bool seedGiven = false;
  int64_t frames = 200;
  uint32_t uptime = 1000000;  // the tick count the virtual clock starts at
  int64_t every = 0;
  std::string out = "frame.png";
  bool list = false;
};

static const char Usage[] =
    "usage: tumbra_frames [options]\n"
    "Runs the tumbra screen saver's engine without a window and writes frames to\n"
    "picture files (BMP directly, anything else through ImageMagick's convert).\n"
    "\n"
    "  --catalogue DIR   folder holding tumbra.ini and its folder tumbra\n"
    "                    (default: the build's generated data)\n"
    "  --list            print the lifefaces of the catalogue and stop\n"
    "  --size WxH        client area in pixels (default 1024x768)\n"
    "  --mode M          animated or classic (default animated)\n"
    "  --face N          show lifeface N (from 0) and keep it at every reset; an\n"
    "                    error when it cannot be shown. Without it the saver\n"
    "                    picks one at random\n"
    "  --ascale N        lifeface tile scale 0..3, cells are pixels << N (default 1)\n"
    "  --cscale N        classic cell size 0..8, cells are 1 << N pixels (default 3)\n"
    "  --delay MS        milliseconds per frame (default 15)\n"
    "  --seed N          generator seed, not 0 (default: the clock's, fixed here)\n"
    "  --frames N        frames of the loop to run (default 200)\n"
    "  --uptime MS       the tick count at start, 0 to 4294967295 (default 1000000)\n"
    "  --every K         write every K-th frame as a series, numbered before the\n"
    "                    extension (frame-000040.png); default: the last frame only\n"
    "  --out FILE        picture to write (default frame.png)\n";

[[noreturn]] static void Fail(const std::string& message) {
  std::fprintf(stderr, "tumbra_frames: %s\n", message.c_str());
  std::exit(2);
}

static int64_t NumberArgument(const char* option, const char* text, int64_t low, int64_t high) {
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text, &end, 10);
  if (errno != 0 || end == text || *end != 0 || value < low || value > high)
    Fail(std::string(option) + " takes a number from " + std::to_string(low) + " to " + std::to_string(high));
  return value;
}

static FramesOptions ParseOptions(int argc, char** argv) {
  FramesOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--help" || option == "-h") {
      std::fputs(Usage, stdout);
      std::exit(0);
    }
    if (option == "--list") {
      options.list = true;
      continue;
    }
    if (i + 1 >= argc) Fail("unknown option or missing value: " + option + "\n" + Usage);
    const char* value = argv[++i];
    if (option == "--catalogue") {
      options.catalogue = value;
    } else if (option == "--size") {
      int w = 0, h = 0;
      char tail = 0;
      if (std::sscanf(value, "%dx%d%c", &w, &h, &tail) != 2 || w < 1 || h < 1 || w > 8192 || h > 8192)
        Fail("--size takes WIDTHxHEIGHT, each 1 to 8192");
      options.width = w;
      options.height = h;
    } else if (option == "--mode") {
      if (std::strcmp(value, "animated") == 0)
        options.mode = ModeAnimated;
      else if (std::strcmp(value, "classic") == 0)
        options.mode = ModeClassic;
      else
        Fail("--mode takes animated or classic");
    } else if (option == "--face") {
      options.face = static_cast<int32_t>(NumberArgument("--face", value, 0, 100000));
    } else if (option == "--ascale") {
      options.ascale = static_cast<int32_t>(NumberArgument("--ascale", value, 0, MaxAnimatedScale));
    } else if (option == "--cscale") {
      options.cscale = static_cast<int32_t>(NumberArgument("--cscale", value, 0, MaxClassicScale));
    } else if (option == "--delay") {
      options.delay = static_cast<int32_t>(NumberArgument("--delay", value, 0, 10000));
    } else if (option == "--seed") {
      options.seed = static_cast<int32_t>(NumberArgument("--seed", value, INT32_MIN, INT32_MAX));
      if (options.seed == 0) Fail("--seed 0 means no seed; leave the option out instead");
      options.seedGiven = true;
    } else if (option == "--frames") {
      options.frames = NumberArgument("--frames", value, 1, 100000000);
    } else if (option == "--uptime") {
      options.uptime = static_cast<uint32_t>(NumberArgument("--uptime", value, 0, UINT32_MAX));
    } else if (option == "--every") {
      options.every = NumberArgument("--every", value, 1, 100000000);
    } else if (option == "--out") {
      options.out = value;
    } else {
      Fail("unknown option " + option + "\n" + Usage);
    }
  }
  return options;
}

// The settings the run starts with: the defaults with the options applied.
static void ApplyOptions(const FramesOptions& options) {
  Settings = DefaultSettings;
  Settings.mode = options.mode;
  if (options.face >= 0) {
    Settings.face = options.face;
    Settings.flags &= ~FlagRandomLifeface;
  }
  if (options.ascale >= 0) Settings.ascale = options.ascale;
  if (options.cscale >= 0) Settings.cscale = options.cscale;
  if (options.delay >= 0) Settings.delay = options.delay;
  if (options.seedGiven) Settings.seed = options.seed;
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
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(data.data(), 1, data.size(), file) == data.size();
  return (std::fclose(file) == 0) && written;
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

static void WriteFrame(const FramesOptions& options, const std::string& path) {
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
  std::printf("%s: generation %d, population %d, resets %d\n", path.c_str(), Field.Generation, Field.Population,
              Field.ResetCount);
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
  const std::string catalogue = options.catalogue + "/tumbra.ini";
  if (access(catalogue.c_str(), R_OK) != 0) Fail("no tumbra.ini in " + options.catalogue);
  // The bitmaps are found beside the catalogue, wherever the run started.
  LoadCatalogue(catalogue.c_str());
  if (options.list) {
    // Only the catalogue: a listing must not depend on loading a picture.
    ListCatalogue();
    return 0;
  }

  VirtualNow = options.uptime;
  ApplyOptions(options);
  View.ClientWidth = options.width;
  View.ClientHeight = options.height;
  StartEngine(nullptr, Align256(options.width), Align256(options.height));
  // A lifeface asked for by number must be the one shown; left to itself the
  // saver would quietly fall back to lifeface 0 or to classic frames.
  if (options.face >= 0 && options.mode == ModeAnimated &&
      (Settings.face != options.face || !CurrentLayout().animated))
    Fail("lifeface " + std::to_string(options.face) + " cannot be shown; the catalogue holds " +
         std::to_string(LifefaceCatalogue.count) + " (see --list)");
  if (options.mode == ModeAnimated && !CurrentLayout().animated)
    std::fprintf(stderr, "tumbra_frames: no usable lifeface; the frames are classic\n");

  for (int64_t computed = 1; computed <= options.frames; ++computed) {
    VirtualNow += FrameDueIn(VirtualNow);
    DrawDueFrame(nullptr, VirtualNow);
    if (options.every > 0 && computed % options.every == 0) WriteFrame(options, SeriesName(options.out, computed));
  }
  if (options.every == 0) WriteFrame(options, options.out);
  return 0;
}
