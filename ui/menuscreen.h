// What every menu screen of the front panel does the same way: a modal 320 x 240 dialog
// driven by the five panel keys, with a focus ring over its items, Back to its parent,
// Mode to the user-mode screen, and the shortcut letters of the key board.
//
// A screen derives from MenuScreen, binds its global pointer, builds its items and
// fills the ring; it overrides a key only where its own Part says the key does more than
// move the focus, run the focused item, go back or open the user-mode screen.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QPointer>
#include <functional>
#include <vector>

#include "core/global.h"
#include "ui/focusring.h"
#include "ui/krx_keyboard.h"
#include "ui/panelkey.h"

class QAbstractButton;
class QLabel;
class QKeyEvent;
class My_lineEdit;
struct RamParaImage;

class MenuScreen : public QDialog {
    Q_OBJECT
public:
    ~MenuScreen() override;

    // The menu screens that are open, the one in front last.
    static const std::vector<MenuScreen*>& openScreens();
    // Closes every open menu screen, the one in front first; the main window and the
    // home screen stay.
    static void closeAllScreens();

    const char* traceName() const { return traceName_; }
    u8 ui_select() const { return focus.ui_select(); }

public slots:
    virtual void slot_Button_back_clicked() = 0;

protected:
    // traceName is the class name the key traces carry.
    MenuScreen(const char* traceName, QWidget* parent);

    // Ties the screen to its global pointer: cleared when the screen closes or goes.
    template <class T>
    void bindPointer(T*& global) {
        clearPointer_ = [&global, this] {
            if (static_cast<MenuScreen*>(global) == this)
                global = nullptr;
        };
    }

    // Delete-on-close, close, and the global pointer cleared.
    void closeScreen();
    // Back: closes the screen, runs the parent's refresh, then puts the parent's page in
    // front, in that order.
    void backTo(const std::function<void()>& parentRefresh, u8 parentPage);

    // The index the Left and Right traces carry: the focused item's, unless the screen
    // counts its selection otherwise.
    virtual u8 tracedSelect() const { return focus.ui_select(); }
    // The debug line of a released key; a screen whose own lines say more overrides it.
    virtual void traceKey(PanelKey key) { traceRelease(traceName_, key, tracedSelect()); }
    virtual void keyLeft() { focus.move(-1); }
    virtual void keyRight() { focus.move(1); }
    // Runs the item under the focus: a button is clicked, which runs its slot.
    virtual void keyOk();
    virtual void keyBack() { slot_Button_back_clicked(); }
    // Closes the stack of menus and opens the user-mode screen; refused (false) while
    // the panel is locked.
    virtual bool keyMode();

    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

    // Building blocks of the usual look.
    QLabel* addTitle(const QRect& geometry, int pointSize);
    QAbstractButton* addButton(const QString& objectName, const QRect& geometry,
                               const QString& icon = QString());
    // The "OK: Enter" and "Back" hints at the bottom of a menu.
    void addKeyNotes();

    // Keypad screens: each field's send_show reaches the screen's slot
    // show_numberkeyboard_ui(QString) (the screen declares it, and confirmString(QString)).
    void connectKeypad(const std::vector<My_lineEdit*>& fields);
    // Opens the shared keypad for field: g_lineedit, the remembered field name, the title
    // and the field's text, then the keypad's modal loop. The keypad's result reaches this
    // screen's confirmString, before the loop returns, and no other screen: the keypad is
    // shared, and a screen below must not take the entry of a keypad opened above it.
    void showKeypad(QLineEdit* field, const QString& title);
    // Runs the keypad without a field; true, with the entry, when its OK was pressed (not
    // its close key).
    bool askKeypad(const QString& title, const QString& text, QString* entry);
    const QString& editedField() const { return editedField_; }
    // The field the keypad was last opened for; null once that field is gone.
    QLineEdit* keypadField() const { return keypadField_; }

    FocusRing focus;
    krx_keyboard keyboard;

private:
    const char* traceName_;
    std::function<void()> clearPointer_;
    QString editedField_;
    QPointer<QLineEdit> keypadField_;
};

// The apply idiom: edits the live parameter image under the apply lock and asks the
// video-processor thread to apply it.
void applyToImage(const std::function<void(RamParaImage&)>& edit);

// Opens a child screen: construct with a null parent, store the pointer, put its page in
// front, run it modally. Returns when the child has closed.
template <class T>
void openScreen(T*& global, u8 page) {
    T* screen = new T(nullptr);
    global = screen;
    g_page_focus = page;
    screen->exec();
}
