#pragma once
// Key codes and key states by name. The library's key codes are the host's virtual-key numbers
// (a letter's or digit's code is its upper-case ASCII character), kept so that code and data
// written for them keep working; these names stand for them wherever a program passes a key:
// tuSystem::GetKey, PressKey, DriveKey, WatchKey, GetTrigger, a PadMapping's keys, and the keys
// the window procedure records (sys.heldKey, lastKey, scrollKey).
//
// They live in namespace tu, beside tu::Rect, rather than in tuSystem: a key code is a value
// shared across the library (the platform layer maps it to the host's keys, tuSystem polls it,
// game pads hold it down), not one module's setting, and `tu::kKeyLeft` reads as what it is.
// tuSystem.h includes this header.

namespace tu {

// ---- Key states: what tuSystem::GetKey advances a caller's state to (also the joystick's
// button states). A key pressed and released between two polls reads released, then held.
constexpr int kKeyStateUp = 0;        // up at this poll and the one before
constexpr int kKeyStatePressed = 1;   // down at this poll, up at the one before
constexpr int kKeyStateReleased = 2;  // up at this poll, down at the one before
constexpr int kKeyStateHeld = 3;      // down at this poll and the one before
// The same states as a type, for code that would rather not pass bare ints (GetKey takes either;
// tuSystem::KeyStateOf gives one).
enum class KeyState : int {
  Up = kKeyStateUp,
  Pressed = kKeyStatePressed,
  Released = kKeyStateReleased,
  Held = kKeyStateHeld,
};

// ---- Mouse buttons: codes tuSystem::GetTrigger takes beside the keys (sys.lastButton).
constexpr int kMouseLeft = 1;
constexpr int kMouseRight = 2;

// ---- Editing and control keys
constexpr int kKeyBackspace = 8;
constexpr int kKeyTab = 9;
constexpr int kKeyEnter = 13;  // either Enter key: the main one and the keypad's
constexpr int kKeyShift = 16;  // either Shift key
constexpr int kKeyControl = 17;  // either Ctrl key
constexpr int kKeyAlt = 18;      // either Alt key
constexpr int kKeyPause = 19;
constexpr int kKeyCapsLock = 20;
constexpr int kKeyEscape = 27;  // ends the program when it reaches the window procedure
constexpr int kKeySpace = 32;
constexpr int kKeyPageUp = 33;
constexpr int kKeyPageDown = 34;
constexpr int kKeyEnd = 35;
constexpr int kKeyHome = 36;
constexpr int kKeyLeft = 37;
constexpr int kKeyUp = 38;
constexpr int kKeyRight = 39;
constexpr int kKeyDown = 40;
constexpr int kKeyPrintScreen = 44;
constexpr int kKeyInsert = 45;
constexpr int kKeyDelete = 46;

// ---- Digits of the main row: '0'..'9'
constexpr int kKey0 = '0', kKey1 = '1', kKey2 = '2', kKey3 = '3', kKey4 = '4';
constexpr int kKey5 = '5', kKey6 = '6', kKey7 = '7', kKey8 = '8', kKey9 = '9';

// ---- Letters: 'A'..'Z', whichever case the key types
constexpr int kKeyA = 'A', kKeyB = 'B', kKeyC = 'C', kKeyD = 'D', kKeyE = 'E', kKeyF = 'F';
constexpr int kKeyG = 'G', kKeyH = 'H', kKeyI = 'I', kKeyJ = 'J', kKeyK = 'K', kKeyL = 'L';
constexpr int kKeyM = 'M', kKeyN = 'N', kKeyO = 'O', kKeyP = 'P', kKeyQ = 'Q', kKeyR = 'R';
constexpr int kKeyS = 'S', kKeyT = 'T', kKeyU = 'U', kKeyV = 'V', kKeyW = 'W', kKeyX = 'X';
constexpr int kKeyY = 'Y', kKeyZ = 'Z';

// ---- Numeric keypad (its Enter is kKeyEnter)
constexpr int kKeyPad0 = 96, kKeyPad1 = 97, kKeyPad2 = 98, kKeyPad3 = 99, kKeyPad4 = 100;
constexpr int kKeyPad5 = 101, kKeyPad6 = 102, kKeyPad7 = 103, kKeyPad8 = 104, kKeyPad9 = 105;
constexpr int kKeyPadMultiply = 106;
constexpr int kKeyPadPlus = 107;
constexpr int kKeyPadMinus = 109;
constexpr int kKeyPadPeriod = 110;
constexpr int kKeyPadDivide = 111;

// ---- Function keys
constexpr int kKeyF1 = 112, kKeyF2 = 113, kKeyF3 = 114, kKeyF4 = 115, kKeyF5 = 116;
constexpr int kKeyF6 = 117, kKeyF7 = 118, kKeyF8 = 119, kKeyF9 = 120, kKeyF10 = 121;
constexpr int kKeyF11 = 122, kKeyF12 = 123;

// ---- Locks
constexpr int kKeyNumLock = 144;
constexpr int kKeyScrollLock = 145;

// ---- One side's modifier key. Polling reads that key alone; the window procedure reports
// either side's press as the generic code (kKeyShift, kKeyControl, kKeyAlt).
constexpr int kKeyLeftShift = 160;
constexpr int kKeyRightShift = 161;
constexpr int kKeyLeftControl = 162;
constexpr int kKeyRightControl = 163;
constexpr int kKeyLeftAlt = 164;
constexpr int kKeyRightAlt = 165;

// ---- Punctuation, by the character the key types on a US layout
constexpr int kKeySemicolon = 186;     // ;
constexpr int kKeyEquals = 187;        // =
constexpr int kKeyComma = 188;         // ,
constexpr int kKeyMinus = 189;         // -
constexpr int kKeyPeriod = 190;        // .
constexpr int kKeySlash = 191;         // /
constexpr int kKeyBackquote = 192;     // `
constexpr int kKeyLeftBracket = 219;   // [
constexpr int kKeyBackslash = 220;     // backslash
constexpr int kKeyRightBracket = 221;  // ]
constexpr int kKeyQuote = 222;         // '

}  // namespace tu
