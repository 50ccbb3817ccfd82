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

int MessageBox(const char* text, const char* caption, unsigned style, const ShownText& shown) {
  bool yesNo = (style & 0xF) == MB_YESNO;
  if (!text) text = "";
  if (!caption) caption = "";
  const char* shownText = shown.text ? shown.text : text;
  const char* shownCaption = shown.caption ? shown.caption : caption;
  if (Headless()) {
    boxes.push_back({caption, text, style, shownCaption, shownText});
    if (echoBoxes && !shown.onStderr) fprintf(stderr, "%s: %s: %s\n", programName, shownCaption, shownText);
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
      {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDNO, "No"},
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"}};
  SDL_MessageBoxData data{};
  data.flags = flags;
  data.window = MainSdlWindow();
  data.title = shownCaption;
  data.message = shownText;
  data.numbuttons = yesNo ? 2 : 1;
  data.buttons = yesNo ? ynButtons : okButtons;
  int pressed = -1;
  if (SDL_ShowMessageBox(&data, &pressed) != 0) {
    // No way to show a box (no display): the text still reaches the user on stderr.
    if (!shown.onStderr) fprintf(stderr, "%s: %s\n", shownCaption, shownText);
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
