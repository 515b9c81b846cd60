// What a key press in the frame does, by key, modifiers and the keymode setting.
#ifndef QVX_KEYBOARD_H
#define QVX_KEYBOARD_H

enum KeyActionKind {
  kKeyNothing,
  kKeyCommand,       // value: a command id
  kKeyDensity,       // value: the key sent to the density scroll bar
  kKeyScrollVert,    // value: a scroll code for the frame's vertical bar
  kKeyScrollHorz,    // value: a scroll code for the frame's horizontal bar
};

struct KeyAction {
  KeyActionKind kind;
  int value;
};

// Virtual-key codes as the platform numbers them.
enum VirtualKey {
  kVkPrior = 0x21, kVkNext = 0x22, kVkEnd = 0x23, kVkHome = 0x24,
  kVkLeft = 0x25, kVkUp = 0x26, kVkRight = 0x27, kVkDown = 0x28,
  kVkR = 0x52, kVkF1 = 0x70,
};

// Returns the action for a key-down.
KeyAction map_key(int virtual_key, bool shift, bool ctrl, int keymode);

#endif
