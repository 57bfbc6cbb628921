// The Win32 side of the configuration UI: the dialog procedures and the
// helpers the dialog and the About box share. Only *_win32.cpp sources
// include this; the portable ones include config/config.h.
#pragma once

#include <windows.h>

#include "config/config.h"

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK TabPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDialogProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam);
// Shows the page of the selected tab and hides the other.
void ShowSelectedPage(HWND tabs);
// Draws one item of any colour list (WM_DRAWITEM).
void DrawColourSwatch(const DRAWITEMSTRUCT* item);
