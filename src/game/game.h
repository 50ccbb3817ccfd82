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
// Runs the due steps of a scene whose steps draw too; only the last one's picture is drawn.
void RunSteps(void (*step)());
// Paces the steps on real time (1) or takes one a frame (0), headless or not: for tests.
void SetPacedSteps(int on);

// Reads and checks a replay that the program plays back as soon as it has loaded (its end goes
// to the REPLAYS page); false with a message when it cannot be played.
bool PlayReplayAtStart(const std::string& path, std::string* error);
// The program description handed to tuSystem::Main.
tuSystem::Program GameProgram();
// The game's command line (--help, --version, --replay FILE; nothing else is taken), then
// tuSystem::Main.
int GameMain(int argc, char** argv);
