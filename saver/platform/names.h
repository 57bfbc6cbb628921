// Names the saver, the X11 program and the installer share: the folders of
// the lifefaces and of the patterns, as literals so that paths are joined
// from them where they are written, and the size of a name the saver keeps.
#pragma once

#define LifefaceFolderName "tumbra"
#define PatternFolderName "patterns"

// A name kept and shown (a lifeface's texts, a pattern's name): at most 79
// characters and the terminator.
const int NameTextSize = 80;
