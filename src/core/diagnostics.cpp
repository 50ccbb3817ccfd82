#include <cstdarg>
#include <cstdio>
#include <cstring>

#include <tu/tuSystem.h>

#include "base/text.h"
#include "platform/dialog.h"
#include "platform/window.h"

namespace tuSystem {

int Error(const char* context, const char* message, int /*code*/) {
  char text[256];
  tu::JoinCut(text, sizeof text, context, " : ", message);
  tu::platform::Beep();
  tu::platform::MessageBox(text, "エラー発生",
                       tu::platform::MB_ICONEXCLAMATION | tu::platform::MB_SYSTEMMODAL);
  sys.errorFlag = 1;
  return 0;
}

int ErrorRaised() { return sys.errorFlag; }

namespace {
// Shows an information or question box; the frame stopwatch restarts afterwards.
int Box(const char* format, va_list args, const char* caption, unsigned style) {
  char text[256];
  tu::FormatCut(text, sizeof text, format, args);
  tu::JoinCut(text, sizeof text, text, "\n", "");
  if (!sys.cursorShown) {
    tu::platform::ShowCursor(true);
    sys.cursorShown = 1;
  }
  sys.messageBoxUp = 1;
  int answer = tu::platform::MessageBox(text, caption, style);
  sys.messageBoxUp = 0;
  ResetFrameTime();
  return answer;
}
}  // namespace

void Message(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Box(format, args, "メッセージ", tu::platform::MB_ICONEXCLAMATION | tu::platform::MB_SYSTEMMODAL);
  va_end(args);
}

int Question(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int answer = Box(format, args, "メッセージ", tu::platform::MB_YESNO | tu::platform::MB_ICONQUESTION);
  va_end(args);
  return answer == tu::platform::IDYES ? 1 : 0;
}

void Log(const char* format, ...) {
  FILE* f = fopen("DEBUG.TXT", "a");
  if (!f) return;
  va_list args;
  va_start(args, format);
  vfprintf(f, format, args);
  va_end(args);
  fputc('\n', f);
  fclose(f);
}

}  // namespace tuSystem
