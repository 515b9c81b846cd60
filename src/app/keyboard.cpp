#include "app/keyboard.h"

#include "view/view_state.h"
#include "res/resource_ids.h"

namespace {

KeyAction scroll_key(int virtual_key, bool ctrl, bool swapped) {
  // Page Up/Down scroll vertically and Home/End horizontally, or the reverse with keymode set.
  const KeyActionKind updown = swapped ? kKeyScrollHorz : kKeyScrollVert;
  const KeyActionKind homeend = swapped ? kKeyScrollVert : kKeyScrollHorz;
  switch (virtual_key) {
    case kVkPrior: return {updown, ctrl ? kTop : kPageUp};
    case kVkNext: return {updown, ctrl ? kBottom : kPageDown};
    case kVkHome: return {homeend, ctrl ? kTop : kPageUp};
    case kVkEnd: return {homeend, ctrl ? kBottom : kPageDown};
    case kVkLeft: return {kKeyScrollHorz, ctrl ? kPageUp : kLineUp};
    case kVkUp: return {kKeyScrollVert, ctrl ? kPageUp : kLineUp};
    case kVkRight: return {kKeyScrollHorz, ctrl ? kPageDown : kLineDown};
    case kVkDown: return {kKeyScrollVert, ctrl ? kPageDown : kLineDown};
    default: return {kKeyNothing, 0};
  }
}

}  // namespace

KeyAction map_key(int virtual_key, bool shift, bool ctrl, int keymode) {
  if (virtual_key == kVkR) return {kKeyCommand, IDM_INVERT};
  if (virtual_key == kVkF1) return {kKeyCommand, IDM_HELP};
  if (shift) {
    switch (virtual_key) {
      case kVkLeft: return {kKeyDensity, ctrl ? kVkPrior : kVkLeft};
      case kVkRight: return {kKeyDensity, ctrl ? kVkNext : kVkRight};
      case kVkUp: return {kKeyCommand, IDM_ZOOM_IN};
      case kVkDown: return {kKeyCommand, IDM_ZOOM_OUT};
      default: return {kKeyNothing, 0};
    }
  }
  return scroll_key(virtual_key, ctrl, keymode != 0);
}
