// The looks of the receiving-card set-up screen's items.
#pragma once

#include "ui/focusring.h"

namespace smartmapping_style {

// The left column: idle, focused, unavailable (no scan file to load); and entered: the
// column's button while the focus is inside its page.
const FocusStyle kMain = {
    "background-color: rgb(33, 36, 53);color:rgb(255, 255, 255);border:1px solid rgb(255, 255, "
    "255);",
    "background-color: rgb(33, 36, 53);color:rgb(255, 255, 255);border:1px solid rgb(255,171,84);",
    "background-color: gray;border:2px;border-radius:10px;padding:2px 4px;color:rgb(255,255,255)",
    "background-color: gray;border:1px solid rgb(255,171,84);color:rgb(255,255,255)",
};
const char* const kMainEntered = "color:rgb(255, 255, 255);border:1px solid rgb(71, 119, 255);";
// The buttons inside the pages look like the column's.
const FocusStyle kButton = kMain;
const FocusStyle kField = {
    "color:rgb(255, 255, 255);background-color:rgb(33, 36, 53);border:1px solid rgb(255,255,255);",
    "color:rgb(255, 255, 255);background-color: rgb(33, 36, 53);border:1px solid rgb(255,171,84);",
    "",
    "",
};
// The port-group tab that was pressed last.
const FocusStyle kTab = {
    "background-color: #4777FF;color: rgb(255, 255, 255);border:1px solid rgb(255, 255, 255);",
    "background-color: #4777FF;color: rgb(255, 255, 255);border:1px solid rgb(255,171,84);",
    "",
    "",
};

// Rows of the scan-file list: plain, under the cursor, chosen by a press; a local file in
// white, one on the USB stick in green.
const char* const kRowLocal = "background-color: rgb(33, 36, 53);color: #FFFFFF";
const char* const kRowUsb = "background-color: rgb(33, 36, 53);color: #00FF00";
const char* const kRowCursorLocal =
    "background-color:#4777FF;color: #FFFFFF;border:1px solid rgb(255,171,84);";
const char* const kRowCursorUsb =
    "background-color:#4777FF;color: #00FF00;border:1px solid rgb(255,171,84);";
const char* const kRowPressedLocal =
    "background-color:#4777FF;color: #FFFFFF;border:1px solid rgb(255,255,255);";
const char* const kRowPressedUsb =
    "background-color:#4777FF;color: #00FF00;border:1px solid rgb(255,255,255);";

}  // namespace smartmapping_style
