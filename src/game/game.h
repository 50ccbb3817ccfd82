#pragma once
#include <tu/tuSystem.h>

// The game's scene routines and its asset loader, as the entry point calls them.
void LoadAssets();
void MenuScene();
void GameScene();
void InterludeScene();

// The program description handed to tuSystem::Main.
tuSystem::Program GameProgram();
