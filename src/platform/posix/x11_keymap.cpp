#include "platform/posix/x11_keymap.h"

#include <X11/XKBlib.h>

#include <algorithm>

void X11Keymap::Reset(int xkbEventBase, int spareLimit) {
    xkbEventBase_ = xkbEventBase;
    spareLimit_ = spareLimit;
    loaded_ = false;
    sparesChosen_ = false;
    syms_.clear();
    modifier_.clear();
    spares_.clear();
    held_.clear();
}

KeyCode X11Keymap::Press(Display* display, KeySym sym) {
    for (Held& held : held_) {
        if (held.sym == sym) {
            ++held.count;
            return held.code;
        }
    }
    if (!Load(display)) return 0;
    Spare* spare = nullptr;
    for (Spare& candidate : spares_) {
        if (candidate.sym == sym) spare = &candidate;
    }
    KeyCode code = spare ? spare->code : FindInMap(sym);
    if (code == 0) {
        spare = Bind(display, sym);
        if (spare == nullptr) return 0;
        code = spare->code;
    }
    if (spare) ++spare->held;
    held_.push_back(Held{sym, code, 1});
    return code;
}

KeyCode X11Keymap::Release(Display* display, KeySym sym, Clock::time_point now) {
    for (auto it = held_.begin(); it != held_.end(); ++it) {
        if (it->sym != sym) continue;
        KeyCode code = it->code;
        if (--it->count == 0) {
            if (Spare* spare = SpareFor(code)) {
                --spare->held;
                spare->released = now;
            }
            held_.erase(it);
        }
        return code;
    }
    if (!Load(display)) return 0;
    for (const Spare& spare : spares_) {
        if (spare.sym == sym) return spare.code;
    }
    return FindInMap(sym);
}

std::vector<KeyCode> X11Keymap::TakeHeld(Clock::time_point now) {
    std::vector<KeyCode> codes;
    for (const Held& held : held_) codes.push_back(held.code);
    held_.clear();
    for (Spare& spare : spares_) {
        if (spare.held == 0) continue;
        spare.held = 0;
        spare.released = now;
    }
    return codes;
}

X11Keymap::Clock::time_point X11Keymap::RestoreIdle(Display* display,
                                                    Clock::time_point releasedBy) {
    Clock::time_point next = Clock::time_point::max();
    for (Spare& spare : spares_) {
        if (spare.sym == NoSymbol || spare.held > 0) continue;
        if (spare.released <= releasedBy) {
            Unbind(display, spare);
        } else {
            next = std::min(next, spare.released);
        }
    }
    return next;
}

bool X11Keymap::HasBindings() const {
    return std::any_of(spares_.begin(), spares_.end(),
                       [](const Spare& spare) { return spare.sym != NoSymbol; });
}

void X11Keymap::OnEvent(XEvent& event) {
    if (event.type == MappingNotify) {
        XMappingEvent& mapping = event.xmapping;
        XRefreshKeyboardMapping(&mapping);
        if (mapping.request == MappingPointer) return;
        if (mapping.request == MappingKeyboard && OnlySpares(mapping.first_keycode, mapping.count))
            return;
        loaded_ = false;
        return;
    }
    if (xkbEventBase_ < 0 || event.type != xkbEventBase_) return;
    const XkbEvent& xkb = reinterpret_cast<const XkbEvent&>(event);
    if (xkb.any.xkb_type == XkbNewKeyboardNotify) {
        loaded_ = false;
    } else if (xkb.any.xkb_type == XkbMapNotify) {
        const XkbMapNotifyEvent& map = xkb.map;
        if ((map.changed & XkbKeySymsMask) && !OnlySpares(map.first_key_sym, map.num_key_syms))
            loaded_ = false;
        if ((map.changed & XkbModifierMapMask) &&
            !OnlySpares(map.first_modmap_key, map.num_modmap_keys))
            loaded_ = false;
    }
}

// One round trip for the keysyms and one for the modifier map, only after the map changed.
bool X11Keymap::Load(Display* display) {
    if (loaded_) return true;
    int minKeycode = 0, maxKeycode = 0;
    XDisplayKeycodes(display, &minKeycode, &maxKeycode);
    if (minKeycode < 8 || maxKeycode > 255 || maxKeycode < minKeycode) return false;
    int count = maxKeycode - minKeycode + 1;
    int perKeycode = 0;
    KeySym* map =
        XGetKeyboardMapping(display, static_cast<KeyCode>(minKeycode), count, &perKeycode);
    if (map == nullptr || perKeycode <= 0) {
        if (map) XFree(map);
        return false;
    }
    syms_.assign(map, map + static_cast<size_t>(count) * static_cast<size_t>(perKeycode));
    XFree(map);
    modifier_.assign(256, 0);
    if (XModifierKeymap* modifiers = XGetModifierMapping(display)) {
        for (int i = 0; i < 8 * modifiers->max_keypermod; ++i) {
            modifier_[modifiers->modifiermap[i]] = 1;
        }
        XFreeModifiermap(modifiers);
    }
    minKeycode_ = minKeycode;
    maxKeycode_ = maxKeycode;
    symsPerKeycode_ = perKeycode;

    auto unused = [&](int code) {
        if (modifier_[code]) return false;
        const KeySym* row = &syms_[static_cast<size_t>(code - minKeycode_) * symsPerKeycode_];
        return std::all_of(row, row + symsPerKeycode_, [](KeySym s) { return s == NoSymbol; });
    };
    if (!sparesChosen_) {
        // From the top of the range: low keycodes are the ones real keyboards tend to send.
        for (int code = maxKeycode_; code >= minKeycode_; --code) {
            if (spareLimit_ > 0 && static_cast<int>(spares_.size()) >= spareLimit_) break;
            if (unused(code)) spares_.push_back(Spare{static_cast<KeyCode>(code)});
        }
        sparesChosen_ = true;
    } else {
        // Someone else has since given an unbound spare symbols: it is theirs now.
        std::erase_if(spares_, [&](const Spare& spare) {
            return spare.sym == NoSymbol && spare.held == 0 && !unused(spare.code);
        });
    }
    loaded_ = true;
    return true;
}

// A keycode that types `sym` without modifiers: first column (group 1, level 1), and in the
// second group either the same keysym or none, so the active layout does not change it.
KeyCode X11Keymap::FindInMap(KeySym sym) const {
    for (int code = minKeycode_; code <= maxKeycode_; ++code) {
        const KeySym* row = &syms_[static_cast<size_t>(code - minKeycode_) * symsPerKeycode_];
        if (row[0] != sym) continue;
        if (symsPerKeycode_ > 2 && row[2] != NoSymbol && row[2] != sym) continue;
        if (std::any_of(spares_.begin(), spares_.end(),
                        [&](const Spare& spare) { return spare.code == code; }))
            continue;
        return static_cast<KeyCode>(code);
    }
    return 0;
}

X11Keymap::Spare* X11Keymap::SpareFor(KeyCode code) {
    for (Spare& spare : spares_) {
        if (spare.code == code) return &spare;
    }
    return nullptr;
}

// A free spare if there is one, else the one released longest ago.
X11Keymap::Spare* X11Keymap::Bind(Display* display, KeySym sym) {
    Spare* pick = nullptr;
    for (Spare& spare : spares_) {
        if (spare.sym == NoSymbol && spare.held == 0) {
            pick = &spare;
            break;
        }
    }
    if (pick == nullptr) {
        for (Spare& spare : spares_) {
            if (spare.held == 0 && (pick == nullptr || spare.released < pick->released))
                pick = &spare;
        }
        if (pick == nullptr) return nullptr;
        // This keycode may have typed a character only moments ago. The server has carried out
        // those key events already (one connection's requests run in order), but their clients
        // look the keycode up only when they read them: wait for one round trip at least.
        XSync(display, False);
    }
    // Both levels alike, so a held Shift still types this very character.
    KeySym row[2] = {sym, sym};
    XChangeKeyboardMapping(display, pick->code, 2, row, 1);
    pick->sym = sym;
    return pick;
}

void X11Keymap::Unbind(Display* display, Spare& spare) {
    KeySym row[2] = {NoSymbol, NoSymbol};
    XChangeKeyboardMapping(display, spare.code, 2, row, 1);
    spare.sym = NoSymbol;
}

bool X11Keymap::OnlySpares(int first, int count) const {
    for (int code = first; code < first + count; ++code) {
        if (std::none_of(spares_.begin(), spares_.end(),
                         [&](const Spare& spare) { return spare.code == code; }))
            return false;
    }
    return true;
}
