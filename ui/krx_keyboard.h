// The shortcut letters of the USB key board: choose the window being edited, its source,
// and toggle its freeze and black output. Every screen holds one and hands it each key
// it releases; the five panel keys themselves are ignored here.
#pragma once

class krx_keyboard {
public:
    void update_usb_keyEvent(int key);
};

// Nonzero while the front panel is locked (image panel_lock).
bool panelLocked();
