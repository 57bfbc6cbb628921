// Resource numbers shared by the installer's code and its resource script.
#pragma once

#define INSTALL_ICON 101    // the window's icon
#define INSTALL_BANNER 102  // the banner across the top, 1024 x 128
