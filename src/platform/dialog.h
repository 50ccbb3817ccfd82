#pragma once
// Message boxes and the beep. In headless mode a box is recorded and answered by the test
// (platform/seams.h).
namespace tu::platform {

// Style bits of the host's message box that the library uses.
constexpr unsigned MB_OK = 0x0, MB_YESNO = 0x4, MB_ICONQUESTION = 0x20, MB_ICONEXCLAMATION = 0x30,
                   MB_SYSTEMMODAL = 0x1000;
constexpr int IDOK = 1, IDYES = 6, IDNO = 7;

// What a desktop box displays in place of the library's own text and caption, where these are
// Japanese and the desktop's box font may have no glyphs for them.
struct ShownText {
  const char* text = nullptr;     // null: the box's own text
  const char* caption = nullptr;  // null: the box's own caption
  bool onStderr = false;          // the caller wrote it to standard error already
};

// Shows a box (UTF-8 text) and waits for it to close; returns IDOK, IDYES or IDNO. A headless
// box records both the text and what a desktop would show.
int MessageBox(const char* text, const char* caption, unsigned style, const ShownText& shown = {});
void Beep();
// With a window (not headless): boxes are written to standard error instead of shown, and a
// yes/no box answers no, as when no box can be shown.
void SetBoxesToStderr(bool on);

// The name that messages on standard error begin with: the program's title ("Quorbistane"
// until the entry point sets it).
void SetProgramName(const char* name);
const char* ProgramName();

}  // namespace tu::platform
