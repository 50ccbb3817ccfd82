#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include <tu/tuSystem.h>

#include "base/text.h"
#include "platform/dialog.h"
#include "platform/window.h"

namespace tuSystem {

namespace {

// The library's messages in English: what a desktop box shows and standard error says. A
// message not listed (a game's own) is shown as it is.
struct Translation {
  const char* message;
  const char* english;
};
constexpr Translation kEnglish[] = {
    {"ファイル名またはリソース名が長すぎます", "the file or resource name is too long"},
    {"ファイル名が長すぎます", "the file name is too long"},
    {"オブジェクト数が多過ぎます", "too many objects"},
    {"BMPファイルを読み込めません", "cannot read the BMP picture"},
    {"スプライトを作成できません", "cannot create the sprite"},
    {"パックファイル名が指定されていません", "no pack file can be opened"},
    {"サーフェース間で展開できません", "cannot copy between surfaces"},
    {"画面をフルカラーにして下さい", "set the screen to full colour"},
    {"DirectDrawが使用できません", "the display cannot be used"},
    {"解像度が変更できません", "cannot change the resolution"},
    {"表画面が生成できません", "cannot create the front surface"},
    {"裏画面が生成できません", "cannot create the back buffer"},
    {"Bufferスプライトが生成できません", "cannot create the Buffer sprite"},
    {"Screenスプライトが生成できません", "cannot create the Screen sprite"},
    {"Fontスプライトが生成できません", "cannot create the Font sprite"},
    {"Fontバッファスプライトが生成できません", "cannot create the Font buffer sprite"},
    {"ピクセル情報が取得できません", "cannot read the pixel format"},
    {"ミックス数が多過ぎます", "too many mix channels"},
    {"WAVEリソースが見つかりません", "no WAV file or resource of that name"},
    {"サウンドバッファが生成できません", "cannot create the sound buffer"},
    {"WAVEファイルを読み込めません", "cannot read the WAV sound"},
    {"ストリーミング再生できません", "cannot stream the sound"},
    {"再生フォーマットを変更できません", "cannot change the playback format"},
    {"ウェイトNoが範囲外です", "the wait number is out of range"},
    {"フォルダ名が正しくありません", "the folder name is not valid"},
    {"フォルダ名が長すぎます", "the folder name is too long"},
    {"フォルダを作成できません", "cannot create the folder"},
    {"PNGファイルを読み込めません", "cannot read the PNG picture"},
    {"Ogg Vorbisファイルを読み込めません", "cannot read the Ogg Vorbis sound"},
};

// A listed message, alone or followed by " (" and what it is about (a file's name), kept.
std::string English(const char* message) {
  for (const Translation& t : kEnglish) {
    size_t n = strlen(t.message);
    if (strncmp(t.message, message, n) == 0 && (message[n] == 0 || strncmp(message + n, " (", 2) == 0))
      return std::string(t.english) + (message + n);
  }
  return message;
}

// Appends `line` to a held list, one a line, cut at the buffer's end.
void AppendLine(char* list, size_t size, const char* line) {
  tu::JoinCut(list, size, list, list[0] ? "\n" : "", line);
}

// The one place an error box is shown (or held back). The report is on standard error already.
void ErrorBox(const char* text, const char* readable) {
  if (sys.holdErrors) {
    ++sys.heldErrors;
    AppendLine(sys.heldText, sizeof sys.heldText, text);
    AppendLine(sys.heldReadable, sizeof sys.heldReadable, readable);
    return;
  }
  char caption[96];
  tu::JoinCut(caption, sizeof caption, tu::platform::ProgramName(), ": error", "");
  tu::platform::ShownText shown;
  shown.text = readable;
  shown.caption = caption;
  shown.onStderr = true;
  tu::platform::Beep();
  tu::platform::MessageBox(text, "エラー発生", tu::platform::MB_ICONEXCLAMATION | tu::platform::MB_SYSTEMMODAL,
                           shown);
}

// Says `readable` on standard error, then shows (or holds) the box.
int Report(const char* context, const char* message, const char* readable) {
  char text[256];
  tu::JoinCut(text, sizeof text, context, " : ", message);
  fprintf(stderr, "%s: %s\n", tu::platform::ProgramName(), readable);
  ErrorBox(text, readable);
  sys.errorFlag = 1;
  return 0;
}

}  // namespace

int Error(const char* context, const char* message, int /*code*/) {
  if (!context) context = "";
  if (!message) message = "";
  char readable[512];
  tu::JoinCut(readable, sizeof readable, context, " : ", English(message).c_str());
  return Report(context, message, readable);
}

int LoadError(const char* context, const char* message, const char* kind, const char* name,
              const char* reason) {
  LoadFailure& f = sys.loadFailures[sys.loadFailureCount % kMaxLoadFailures];
  f = LoadFailure{};
  tu::CopyCut(f.kind, sizeof f.kind, kind ? kind : "");
  tu::CopyCut(f.name, sizeof f.name, name ? name : "");
  tu::CopyCut(f.folder, sizeof f.folder, GetPath(kPathProgram));
  tu::CopyCut(f.reason, sizeof f.reason, reason && reason[0] ? reason : "cannot be read");
  ++sys.loadFailureCount;
  char readable[512];
  snprintf(readable, sizeof readable, "cannot load %s %s from %s: %s", f.kind, f.name, f.folder, f.reason);
  return Report(context ? context : "", message ? message : "", readable);
}

int LoadFailureCount() { return sys.loadFailureCount; }

const LoadFailure* LoadFailureAt(int index) {
  if (index < 0 || index >= sys.loadFailureCount || index < sys.loadFailureCount - kMaxLoadFailures)
    return nullptr;
  return &sys.loadFailures[index % kMaxLoadFailures];
}

void HoldErrors(int on) { sys.holdErrors = on ? 1 : 0; }

int ShowHeldErrors(const char* readable) {
  int held = sys.heldErrors;
  if (held > 0) {
    int hold = sys.holdErrors;
    sys.holdErrors = 0;
    ErrorBox(sys.heldText, readable ? readable : sys.heldReadable);
    sys.holdErrors = hold;
  }
  sys.heldErrors = 0;
  sys.heldText[0] = sys.heldReadable[0] = 0;
  return held;
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
  // The caption is Japanese; a desktop box shows the program's name instead.
  tu::platform::ShownText shown;
  shown.caption = tu::platform::ProgramName();
  int answer = tu::platform::MessageBox(text, caption, style, shown);
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
