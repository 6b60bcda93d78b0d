// Pieces the maintenance screens share: the drop-down lists that the panel keys edit in
// place, with their three looks (idle, focused, being edited).
#pragma once

#include <QRect>

#include "ui/focusring.h"

class QComboBox;
class QWidget;

namespace form {

// A list without keyboard focus and without a drop-down arrow: the keys step its entries.
QComboBox* list(QWidget* parent, const char* name, const QRect& geometry, int pointSize);

// The white, orange and red borders of a list.
extern const FocusStyle kListStyle;
extern const char kListEditing[];

}  // namespace form
