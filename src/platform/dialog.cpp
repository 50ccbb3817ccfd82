#include "platform/dialog.h"

#include <SDL2/SDL.h>

#include <cstdio>

#include "platform/headless.h"
#include "platform/seams.h"
#include "platform/window.h"

namespace tu::platform {
namespace {
std::vector<RecordedBox> boxes;
bool answerYes = true;
int beeps = 0;
char programName[64] = "Quorbistane";
bool echoBoxes = false;
bool boxesToStderr = false;
}  // namespace

int MessageBox(const char* text, const char* caption, unsigned style) {
  bool yesNo = (style & 0xF) == MB_YESNO;
  if (Headless()) {
    boxes.push_back({caption ? caption : "", text ? text : "", style});
    if (echoBoxes) fprintf(stderr, "%s: %s: %s\n", programName, caption ? caption : "", text ? text : "");
    if (!yesNo) return IDOK;
    return answerYes ? IDYES : IDNO;
  }
  if (boxesToStderr) {
    fprintf(stderr, "%s: %s: %s\n", programName, caption ? caption : "", text ? text : "");
    return yesNo ? IDNO : IDOK;
  }
  Uint32 flags = (style & 0xF0) == MB_ICONEXCLAMATION ? SDL_MESSAGEBOX_WARNING
                                                      : SDL_MESSAGEBOX_INFORMATION;
  SDL_MessageBoxButtonData okButtons[] = {
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDOK, "OK"}};
  SDL_MessageBoxButtonData ynButtons[] = {
      {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDNO, "いいえ"},
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "はい"}};
  SDL_MessageBoxData data{};
  data.flags = flags;
  data.window = MainSdlWindow();
  data.title = caption;
  data.message = text;
  data.numbuttons = yesNo ? 2 : 1;
  data.buttons = yesNo ? ynButtons : okButtons;
  int pressed = -1;
  if (SDL_ShowMessageBox(&data, &pressed) != 0) {
    // No way to show a box (no display): the text still reaches the user on stderr.
    fprintf(stderr, "%s: %s\n", caption, text);
    return yesNo ? IDNO : IDOK;
  }
  if (pressed < 0) return yesNo ? IDNO : IDOK;
  return pressed;
}

void Beep() {
  ++beeps;
  // The desktop's bell is not reachable through SDL; the box itself is the signal.
}

const std::vector<RecordedBox>& RecordedBoxes() { return boxes; }
void ClearRecordedBoxes() { boxes.clear(); }
void SetQuestionAnswer(bool yes) { answerYes = yes; }
int BeepCount() { return beeps; }

void SetProgramName(const char* name) {
  snprintf(programName, sizeof programName, "%s", name && name[0] ? name : "Quorbistane");
}
const char* ProgramName() { return programName; }
void SetEchoBoxes(bool on) { echoBoxes = on; }
void SetBoxesToStderr(bool on) { boxesToStderr = on; }

}  // namespace tu::platform
