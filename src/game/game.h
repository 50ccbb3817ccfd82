#pragma once
#include <tu/tuSystem.h>

// The game's scene routines and its asset loader, as the entry point calls them.
void LoadAssets();
void MenuScene();
void GameScene();
void InterludeScene();

// The program description handed to tuSystem::Main.
tuSystem::Program GameProgram();
// The game's command line (--help, --version; nothing else is taken), then tuSystem::Main.
int GameMain(int argc, char** argv);
