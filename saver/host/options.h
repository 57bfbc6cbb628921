// The X11 front end's command line: the options naming the window to draw
// into and those overriding settings for one run. The rules are portable;
// host_x11.cpp does the drawing and the waiting.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "settings/settings.h"

enum FrontEndTarget {
  TargetOwnWindow,   // no option: a resizable window of its own
  TargetFullScreen,  // --fullscreen: its own window over the screen, ended by input
  TargetRoot,        // --root: $XSCREENSAVER_WINDOW, else the root window
  TargetWindowId,    // --window-id ID
};

// A settings member given a value on the command line.
struct NumberOverride {
  int32_t offset;  // byte offset in SaverSettings
  int32_t value;
};

// A text member given a value on the command line.
struct TextOverride {
  int32_t offset;  // byte offset in SaverSettings
  std::string text;
};

struct SettingOverrides {
  std::vector<NumberOverride> numbers;  // in command-line order: a later one wins
  std::vector<TextOverride> texts;
  uint32_t flagsOn;
  uint32_t flagsOff;
  bool faceGiven;
  int32_t face;
};

struct FrontEndOptions {
  FrontEndTarget target = TargetOwnWindow;
  uint64_t windowId = 0;
  std::string catalogue;  // a folder holding tumbra.ini; empty: search the data folders
  bool help = false;
  SettingOverrides overrides = {{}, {}, 0, 0, false, 0};
  // The pattern collection given: these folders and files, in place of the
  // data folders' collection; both empty: the data folders'.
  std::vector<std::string> patternFolders;
  std::vector<std::string> patternFiles;
};

// The usage text, written from the option table and the settings table.
std::string FrontEndUsage();
// The lines of FrontEndUsage for the options that change the picture.
std::string SettingOptionsUsage();

// An option as the usage and the manual page show it.
struct OptionSummary {
  std::string name;   // without the dashes
  bool negatable;     // also taken as --no-name
  std::string value;  // the value's word in the usage ("N", "animated|classic"); "" for none
  bool ranged;        // a number within low .. high
  int64_t low;
  int64_t high;
};
// Every option the X11 program takes, in the order of the usage.
std::vector<OptionSummary> FrontEndOptionList();

// False with a message naming the option when an argument is unknown, lacks
// its value or has a bad one.
bool ParseFrontEndOptions(int argc, const char* const* argv, FrontEndOptions* options, std::string* error);

// Another program's own option beside the table's (tumbra_frames' --size).
struct ProgramOption {
  const char* name;  // without the dashes
  bool takesValue;
};
// One of them as given: its index in the program's list, its value ("" for none).
struct ProgramArgument {
  int option;
  std::string value;
};
// The same parse for a program that takes its own options besides: they are
// read in the same spellings and come back in command-line order, for the
// program to check their values.
bool ParseFrontEndOptions(int argc, const char* const* argv, const ProgramOption* own, int ownCount,
                          FrontEndOptions* options, std::vector<ProgramArgument>* given, std::string* error);
// A window number as X prints them: decimal or 0x hexadecimal, not 0.
bool ParseWindowId(const char* text, uint64_t* id);
// Writes the overrides into settings loaded from the store. A lifeface
// given by number is kept at every reset: it turns "Choose random lifeface"
// off. A text longer than its member is cut to fit, terminated.
void ApplyOverrides(const SettingOverrides& overrides, SaverSettings* settings);
// The folders searched for tumbra.ini, in order: $XDG_DATA_HOME/tumbra (or
// ~/.local/share/tumbra), each of $XDG_DATA_DIRS (default /usr/local/share and
// /usr/share) with /tumbra, then the installed data folder. Relative entries
// are ignored, as the XDG rules ask; a folder is listed once.
std::vector<std::string> CatalogueFolders(const char* dataHome, const char* home, const char* dataDirs,
                                          const char* installed);
// The folders of the pattern collection when none is given: patterns/ in
// each of the catalogue folders above (the user's own and the installed
// ones), then the Life and Life-Like patterns of Golly where it is installed.
std::vector<std::string> PatternFolders(const char* dataHome, const char* home, const char* dataDirs,
                                        const char* installed);
// Indexes the collection the options give, or else the one of the folders.
void IndexPatterns(const FrontEndOptions& options, const std::vector<std::string>& folders);
// A file given by --pattern must be a pattern: a run that quietly showed
// random fields instead would be no answer. The message for the first that
// is not one; empty when each is.
std::string PatternFileRefusal(const FrontEndOptions& options);
