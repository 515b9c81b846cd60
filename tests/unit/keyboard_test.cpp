#include "app/keyboard.h"

#include <gtest/gtest.h>

#include "view/view_state.h"

namespace {

constexpr int kVkA = 0x41, kVkF4 = 0x73;

struct Expect {
  KeyActionKind kind;
  int value;
};

// Every key of the table under the four modifier combinations.
struct Row {
  int key;
  Expect none, shift, ctrl, ctrl_shift;
};

void check(const Row& row, int keymode) {
  const struct {
    bool shift, ctrl;
    Expect expected;
  } combos[] = {{false, false, row.none}, {true, false, row.shift}, {false, true, row.ctrl}, {true, true, row.ctrl_shift}};
  for (const auto& c : combos) {
    const KeyAction action = map_key(row.key, c.shift, c.ctrl, keymode);
    EXPECT_EQ(action.kind, c.expected.kind) << "key " << row.key << " shift " << c.shift << " ctrl " << c.ctrl
                                            << " keymode " << keymode;
    if (action.kind != kKeyNothing && action.kind == c.expected.kind)
      EXPECT_EQ(action.value, c.expected.value) << "key " << row.key << " shift " << c.shift << " ctrl " << c.ctrl
                                                << " keymode " << keymode;
  }
}

const Expect kNone{kKeyNothing, 0};
Expect command(int id) { return {kKeyCommand, id}; }
Expect density(int key) { return {kKeyDensity, key}; }
Expect vert(int code) { return {kKeyScrollVert, code}; }
Expect horz(int code) { return {kKeyScrollHorz, code}; }

TEST(Keyboard, KeymodeZero) {
  const Row rows[] = {
      {kVkR, command(6), command(6), command(6), command(6)},
      {kVkF1, command(105), command(105), command(105), command(105)},
      {kVkLeft, horz(kLineUp), density(kVkLeft), horz(kPageUp), density(kVkPrior)},
      {kVkRight, horz(kLineDown), density(kVkRight), horz(kPageDown), density(kVkNext)},
      {kVkUp, vert(kLineUp), command(4), vert(kPageUp), command(4)},
      {kVkDown, vert(kLineDown), command(5), vert(kPageDown), command(5)},
      {kVkPrior, vert(kPageUp), kNone, vert(kTop), kNone},
      {kVkNext, vert(kPageDown), kNone, vert(kBottom), kNone},
      {kVkHome, horz(kPageUp), kNone, horz(kTop), kNone},
      {kVkEnd, horz(kPageDown), kNone, horz(kBottom), kNone},
      {kVkA, kNone, kNone, kNone, kNone},
      {kVkF4, kNone, kNone, kNone, kNone},
  };
  for (const Row& row : rows) check(row, 0);
}

TEST(Keyboard, KeymodeSetSwapsPageAndHomeKeys) {
  const Row rows[] = {
      {kVkR, command(6), command(6), command(6), command(6)},
      {kVkLeft, horz(kLineUp), density(kVkLeft), horz(kPageUp), density(kVkPrior)},
      {kVkUp, vert(kLineUp), command(4), vert(kPageUp), command(4)},
      {kVkPrior, horz(kPageUp), kNone, horz(kTop), kNone},
      {kVkNext, horz(kPageDown), kNone, horz(kBottom), kNone},
      {kVkHome, vert(kPageUp), kNone, vert(kTop), kNone},
      {kVkEnd, vert(kPageDown), kNone, vert(kBottom), kNone},
  };
  for (const Row& row : rows) {
    check(row, 1);
    check(row, -3);  // any non-zero value
  }
}

}  // namespace
