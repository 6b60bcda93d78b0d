#include "ui/panelkey.h"

#include <QtGlobal>
#include <cstdio>

PanelKey panelKey(int code) {
    switch (code) {
        case keycode::left:
        case keycode::left_fn:
            return PanelKey::Left;
        case keycode::right:
        case keycode::right_fn:
            return PanelKey::Right;
        case keycode::ok:
        case keycode::ok_fn:
            return PanelKey::Ok;
        case keycode::back:
        case keycode::back_fn:
            return PanelKey::Back;
        case keycode::mode:
        case keycode::mode_fn:
            return PanelKey::Mode;
        default:
            return PanelKey::None;
    }
}

void tracePress(const char* screen, int code) {
    if (code == keycode::ok_fn)
        qDebug("this is OK button(%s)[Press]\n", screen);
    else if (code == keycode::back_fn)
        qDebug("this is back button(%s)[Press]\n", screen);
}

void traceRelease(const char* screen, PanelKey key, u8 ui_select) {
    switch (key) {
        case PanelKey::Left:
        case PanelKey::Right: {
            // Formatted by the C library, which writes a zero index as "0".
            char line[128];
            std::snprintf(line, sizeof line, "this is %s-code [%s][Release] ui_select=%#x",
                          key == PanelKey::Left ? "left" : "right", screen, ui_select);
            qDebug("%s", line);
            break;
        }
        case PanelKey::Ok:
            qDebug("this is OK button(%s)[Release]\n", screen);
            break;
        case PanelKey::Back:
            qDebug("this is back button(%s)[Release]\n", screen);
            break;
        case PanelKey::Mode:
            qDebug("this is mode-code [%s][Release]", screen);
            break;
        case PanelKey::None:
            break;
    }
}
