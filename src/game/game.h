#pragma once
#include <string>

#include <tu/tuSystem.h>

// The game's scene routines and its asset loader, as the entry point calls them.
void LoadAssets();
void MenuScene();
void GameScene();
void InterludeScene();

// One step of a scene, as its scene routine runs them (step.cpp paces them): the game's clock
// moves, then its rules. GameStep runs the whole of a game step without its picture.
void GameStep();
void MenuStep();
// The steps due at this frame: one in a headless run; on a display by the game's cadence on
// real time, none before the next is due and several (up to a limit) when the display is late.
int DueSteps();
// Puts the next due step `ms` later on real time (an online game's side that runs ahead of the
// other slows down so); nothing where steps are not paced.
void DelaySteps(uint32_t ms);
// Runs the due steps of a scene whose steps draw too; only the last one's picture is drawn.
void RunSteps(void (*step)());
// Paces the steps on real time (1) or takes one a frame (0), headless or not: for tests.
void SetPacedSteps(int on);

// Reads and checks a replay that the program plays back as soon as it has loaded (its end goes
// to the REPLAYS page); false with a message when it cannot be played.
bool PlayReplayAtStart(const std::string& path, std::string* error);
// The program description handed to tuSystem::Main.
tuSystem::Program GameProgram();
// Online play lives above the game: the program installs it, and the game knows it only by
// these hooks. Without them the title menu's ONLINE item does nothing.
struct OnlineHooks {
  // Runs the whole frame in place of the scene's routine while online play is under way; false
  // when it is not (the scene runs as usual).
  bool (*frame)() = nullptr;
  // The title menu's ONLINE item was chosen.
  void (*open)() = nullptr;
  // After the assets are loaded: an online start the command line asked for begins.
  void (*started)() = nullptr;
  // The program ends: a match under way says goodbye.
  void (*stopped)() = nullptr;
  // The command line: takes argv[i] (and what follows it) when it is its own and gives the count
  // taken; 0 when not its own; -1 when it is wrong (`error` says why).
  int (*argument)(int argc, char** argv, int i, std::string* error) = nullptr;
  // After the whole command line, when it asked for an online start: false when its online
  // arguments do not go together (`error` says why).
  bool (*argumentsDone)(std::string* error) = nullptr;
  // Whether the start the command line asked for may run beside another copy of the game.
  bool (*secondCopy)() = nullptr;
  const char* usage = "";  // the usage line's part, " [--host [PORT]]"
  const char* help = "";   // --help's lines for those arguments
};
void InstallOnline(const OnlineHooks& hooks);
const OnlineHooks& InstalledOnline();

// The picture of a game as it stands (the fields, the labels, the outcome when it is over);
// `result` false leaves the outcome and the continue question out. Reads the state only.
void DrawGamePicture(bool result);
// A versus game's outcome: the win and lose pictures over the two fields.
void DrawVersusOutcome();
// The continue question with its YES/NO cursor (0 yes, 1 no), as the result sequence shows it.
void DrawContinueQuestion(int cursor);

// The game's command line (--help, --version, --replay FILE and the online hooks' arguments;
// nothing else is taken), then tuSystem::Main.
int GameMain(int argc, char** argv);
