// The system's message texts made fit to show: their inserts filled.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Fills the inserts of a message text as the system writes them ("%1" to
// "%99", each with an optional "!format!"): "%1" becomes `subject`, the
// thing that failed (a path, say), and any other insert becomes nothing, so
// no raw placeholder ever reaches the user. The escapes are resolved too:
// "%%" is a percent sign, "%n" a line break, "%t" a tab, "%0" ends the text,
// "%." "%!" and "% " stand for themselves.
std::wstring FillInserts(std::wstring_view text, std::wstring_view subject);

// The system's text for a failure, made to name `subject` (what failed: a
// program or a folder) once, exactly as it is: in place of the first insert
// where the text has one ("Bad EXE format for %1."), else on a line of its
// own after the text. Without a subject it is FillInserts' text.
std::wstring TextNaming(std::wstring_view text, std::wstring_view subject);

}  // namespace platform
