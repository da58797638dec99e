// The new-extension dialog: the user collects extensions that Windows does not know yet and OK
// registers each as a key of its own under HKEY_CLASSES_ROOT ("Unassociated"), adds it to the
// registry model and fills the options window's extension list and tree again, so the new
// extensions can at once be given programs.
#pragma once
#include <windows.h>

#include <array>
#include <string>

#include "win/Window.h"

class OptionsEditor;

// A plain list box of texts.
class TextListBox : public win::Control {
public:
    TextListBox(win::Window& form, win::Control* container, std::wstring name, int index, const win::Rect& r);
    int Count() const;
    std::wstring Item(int index) const;  // from 0
    void AddItem(const std::wstring& text);
    void RemoveItem(int index);
    int ListIndex() const;  // the selected entry; -1 when none
    void SetListIndex(int index);
};

// Indexes of the dialog's buttons.
enum ExtensionsButton : int { ebOK = 0, ebCancel = 1, ebAddRemove = 2 };

class frmExtensions : public win::Window {
    // Ahead of the controls: the window procedure runs while they are being created.
    OptionsEditor* editor_ = nullptr;

public:
    frmExtensions();

    static frmExtensions& Default();
    static frmExtensions* Existing();
    static void Release();

    // The options window's editor, which knows the model's extensions and rebuilds the window's
    // extension list and tree (not owned; nullptr: the model alone).
    void SetEditor(OptionsEditor* editor) { editor_ = editor; }

    // What a button does: OK, Cancel, Add or Remove (as the third button's caption reads).
    void cmds_Click(int index);

    // The extension's place in the list (from 0), else its place among the model's extensions
    // + 100000, else -1. Letter case does not count.
    long IsExtListed(const std::wstring& extension);
    // Writes the listed extensions as new keys and model records, emptying the list; true when
    // some write failed (that extension gets no record).
    bool RegisterNewExtensions();

    win::TextBox& txt;  // txt(0)
    TextListBox& lstExt;
    std::array<win::Label*, 3> lbls{};
    std::array<win::Button*, 3> cmds{};

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void AddClicked();
    void RemoveClicked();
    void OkClicked();
    void TextGotFocus();
    void ListGotFocus();
    void ResetText();
};
