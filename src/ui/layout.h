// Where the window's controls go: the layout in twips at the window's DPI,
// grown where the text the user has chosen needs more room.
#pragma once

#include <windows.h>

namespace ui {

// How much room each control's text takes in its own font, in pixels.
struct TextSizes {
  SIZE label1;
  SIZE command1;
  SIZE command2;
};

// Client-area rectangles of the controls, and the client area around them.
struct FormLayout {
  SIZE client;
  RECT label1;
  RECT command1;
  RECT command2;
};

// The room one line of `caption` takes in `font`, measured on `window`,
// drawn as controls draw it (no access keys); zero where it cannot be told.
SIZE CaptionSize(HWND window, HFONT font, const wchar_t* caption);

// The layout at `dpi`: each control at its twip rectangle, or as large as
// its text needs, whichever is larger, and the client area around them.
// With the message font the layout was drawn for, that is the twip layout
// exactly.
FormLayout LayOut(UINT dpi, const TextSizes& text);

// `window` moved as little as it takes to lie within `area`, its size kept.
// One larger than the area goes to the area's top left corner, so that its
// caption and its first controls stay in reach.
RECT WithinArea(const RECT& window, const RECT& area);

}  // namespace ui
