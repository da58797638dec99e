// The frame's toolbar as the suite build-up drives it: product pictures come as OLE picture
// objects, the host's own from the frame's image list by key.
#pragma once
#include <map>
#include <string>

#include "HostFrame.h"
#include "win/Toolbar.h"

// A copy of an OLE picture as a bitmap of its own; nullptr when there is none.
HBITMAP BitmapFromPicture(IPicture* picture);

// The host's own button pictures by key: "HelpUp", "HelpDown", "HelpUpOver", the same for
// "Refer" and "Suggest", and "HelpFileUp" and so on for the design-time button 1.
// nullptr for an unknown key. The caller owns the bitmap.
HBITMAP ImageListPicture(const std::wstring& key);

class FrameToolbar : public HostToolbar {
public:
    explicit FrameToolbar(win::Toolbar& bar) : bar_(bar) {}

    int AddButton() override { return bar_.AddButton(); }
    int ButtonCount() const override { return bar_.ButtonCount(); }
    void SetButtonPictures(int button, IPicture* up, IPicture* down, IPicture* upOver) override;
    void SetButtonImages(int button, const std::wstring& upKey, const std::wstring& downKey,
                         const std::wstring& upOverKey) override;
    void SetButtonToolTip(int button, const std::wstring& text) override { bar_.SetToolTipText(button, text); }
    void SetButtonKey(int button, const std::wstring& key) override { bar_.SetKey(button, key); }
    void SetButtonStyle(int button, int style) override { bar_.SetStyle(button, style); }
    void Refresh(int how) override { bar_.Refresh(how); }

private:
    win::Toolbar& bar_;
};
