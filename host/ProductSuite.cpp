#include "ProductSuite.h"

#include <cfloat>
#include <cwchar>

#include "HostAddresses.h"
#include "HostContract.h"
#include "HostMessages.h"
#include "basErrorHandler.h"
#include "basHostShared.h"
#include "basMain.h"
#include "basMessageHandler.h"
#include "basStrings.h"
#include "basWinAPI_Email.h"
#include "basWinAPI_Help.h"
#include "com/ComDispatch.h"
#include "vb/VbText.h"

namespace {

std::wstring g_suiteProductName;
std::wstring g_suiteProductVersion;

constexpr LCID kEnglishLocale = 1033;
const wchar_t kMailLineBreak[] = L"%0D%0A";

// A VARIANT that clears itself.
struct OwnedVariant {
    VARIANT v;
    OwnedVariant() { VariantInit(&v); }
    ~OwnedVariant() { VariantClear(&v); }
    OwnedVariant(const OwnedVariant&) = delete;
    OwnedVariant& operator=(const OwnedVariant&) = delete;
};

// Late-bound creation by ProgID, as CreateObject does it.
com::ComPtr<IDispatch> CreateObjectByProgId(const std::wstring& progId) {
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(progId.c_str(), &clsid)))
        vb::Raise(vb::ErrCannotCreateObject, std::nullopt, L"ActiveX component can't create object: " + progId);
    com::ComPtr<IDispatch> object;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                  object.PutVoid());
    if (FAILED(hr) || !object)
        vb::Raise(vb::ErrCannotCreateObject, std::nullopt, L"ActiveX component can't create object: " + progId);
    return object;
}

vb::Variant Get(IDispatch* object, const wchar_t* member) {
    return com::CallByName(object, member, DISPATCH_PROPERTYGET);
}

bool Names(const std::wstring& properties, const wchar_t* member) {
    return vb::InStr(properties, member, vb::TextCompare) != 0;
}

// A value as a Single, as CSng converts it.
float ToSingle(const vb::Variant& value) {
    const double d = value.ToDouble();
    if (d > FLT_MAX || d < -FLT_MAX) vb::Raise(vb::ErrOverflow);
    return static_cast<float>(d);
}

std::wstring SingleText(float value) {
    wchar_t buffer[32];
    swprintf(buffer, 32, L"%.7G", static_cast<double>(value));
    return buffer;
}

// A member answering a picture; nullptr for Nothing.
com::ComPtr<IPicture> GetPicture(IDispatch* object, const wchar_t* member) {
    OwnedVariant answer;
    com::CallByNameRaw(object, member, DISPATCH_PROPERTYGET, {}, &answer.v);
    com::ComPtr<IPicture> picture;
    IUnknown* unknown = nullptr;
    if (answer.v.vt == VT_DISPATCH) unknown = answer.v.pdispVal;
    else if (answer.v.vt == VT_UNKNOWN) unknown = answer.v.punkVal;
    else if (answer.v.vt == VT_EMPTY || answer.v.vt == VT_NULL) return picture;
    else vb::Raise(vb::ErrTypeMismatch);
    if (!unknown) return picture;
    if (FAILED(unknown->QueryInterface(IID_IPicture, picture.PutVoid()))) vb::Raise(vb::ErrTypeMismatch);
    return picture;
}

// A menu member read with the property-get call type and the English locale.
std::wstring GetMenuText(IDispatch* object, const wchar_t* member) {
    OwnedVariant answer;
    com::CallByNameRaw(object, member, DISPATCH_PROPERTYGET, {}, &answer.v, kEnglishLocale);
    return com::FromVARIANT(answer.v).ToString();
}

std::vector<std::wstring> MenuLines(const std::wstring& text) { return vb::Split(text, L"\r"); }

std::vector<MenuEntry> Entries(const wchar_t* first, int count, const wchar_t* placeholder, bool numbered) {
    std::vector<MenuEntry> entries;
    entries.push_back({first, L"", true, true});
    for (int i = 1; i <= count; ++i)
        entries.push_back({numbered ? placeholder + std::to_wstring(i) : std::wstring(placeholder), L"", false, true});
    return entries;
}

std::wstring JoinMailLines(const std::vector<std::wstring>& lines) {
    std::wstring body;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i) body += kMailLineBreak;
        body += lines[i];
    }
    return body;
}

}  // namespace

std::wstring& SuiteProductName() { return g_suiteProductName; }
std::wstring& SuiteProductVersion() { return g_suiteProductVersion; }

SuiteMenus SuiteMenus::Designed() {
    SuiteMenus m;
    m.Main.push_back({L"&File", L"", true, true});
    for (int i = 1; i <= 7; ++i) m.Main.push_back({L"Tmp" + std::to_wstring(i), L"", false, true});
    m.Main.push_back({L"&Window", L"", true, true});
    m.Main.push_back({L"&Help", L"", true, true});

    m.Sub.resize(8);
    for (int n = 1; n <= 7; ++n) {
        for (int i = 0; i < 10; ++i) m.Sub[n].push_back({std::to_wstring(i + 1), L"", i == 0, true});
    }
    m.Help = Entries(L"Morva Utility Manager Help", 10, L"Tmp", true);
    m.About = Entries(L"About Morva Utility Manager", 8, L"Tmp", true);
    for (int i = 0; i <= 10; ++i) m.SysTray.push_back({L"&Tmp", L"", false, true});
    m.SysTray.push_back({L"&Restore", L"", true, true});
    m.SysTray.push_back({L"E&xit", L"", true, true});
    return m;
}

void ApplyMenuLine(MenuEntry& entry, const std::wstring& line) {
    const size_t semicolon = line.find(L';');
    if (semicolon == std::wstring::npos) {
        entry.Caption = line;
        return;
    }
    entry.Caption = line.substr(0, semicolon);
    entry.Tag = line.substr(semicolon + 1);
}

ToolbarTarget ToolbarTargetOf(int button, int buttonCount, size_t productCount) {
    ToolbarTarget target;
    if (button < 1 || button > buttonCount) return target;
    if (button == buttonCount) {
        target.Action = ToolbarAction::Help;
    } else if (button == buttonCount - 1) {
        target.Action = ToolbarAction::Referral;
    } else if (button == buttonCount - 2) {
        target.Action = ToolbarAction::Suggestion;
    } else if (button == 1) {
        target.Action = ToolbarAction::HelpContents;
    } else if (button >= 2 && static_cast<size_t>(button - 2) < productCount) {
        target.Action = ToolbarAction::OpenProduct;
        target.ProductIndex = button - 2;
    }
    return target;
}

MenuEntry* ProductSuite::GetMenuItem(const std::wstring& name, long index) {
    ProcGuard guard;
    long number = 0;
    try {
        number = vb::Variant(ValidateNumericText(name)).ToLong();
    } catch (...) {
        vb::Err().Clear();
        return nullptr;
    }
    if (number < 1 || number > 7) return nullptr;
    std::vector<MenuEntry>& sub = Menus.Sub[static_cast<size_t>(number)];
    if (index < 0 || static_cast<size_t>(index) >= sub.size()) vb::Raise(vb::ErrSubscript);
    return &sub[static_cast<size_t>(index)];
}

void ProductSuite::GetDLLArributes(HostToolbar& toolbar) {
    ProcGuard guard;
    Products.clear();
    try {
        const auto values = HostKeyValues(L"0", true);
        if (values.empty()) return;

        // Pass 1: every product is initialised; its ordinal decides its place.
        std::vector<std::wstring> prefixes(values.size());
        std::vector<vb::Variant> ordinals(values.size());
        for (size_t i = 0; i < values.size(); ++i) {
            const std::wstring prefix = StripChrs(values[i].second, L" ");
            prefixes[i] = prefix;
            if (prefix.empty()) continue;
            com::ComPtr<IDispatch> object = CreateObjectByProgId(prefix + contract::ProductClassSuffix);
            const std::wstring properties = Get(object.Get(), contract::MemberProperties).ToString();
            if (Names(properties, contract::MemberGeneralInitialization))
                com::CallByName(object.Get(), contract::MemberGeneralInitialization, DISPATCH_METHOD);
            if (Names(properties, contract::MemberProductName))
                g_suiteProductName = Get(object.Get(), contract::MemberProductName).ToString();
            ordinals[i] = vb::Variant(0);
            if (Names(properties, contract::MemberUtilitySuiteOrdinal))
                ordinals[i] = vb::Variant(static_cast<double>(ToSingle(Get(object.Get(), contract::MemberUtilitySuiteOrdinal))));
            if (Names(properties, contract::MemberVersion))
                g_suiteProductVersion = Get(object.Get(), contract::MemberVersion).ToString();
        }

        // Ordinals are compared as text, so 100 comes before 20.
        std::vector<std::wstring> ordinalTexts(values.size());
        for (size_t i = 0; i < values.size(); ++i)
            ordinalTexts[i] = ordinals[i].IsEmpty() ? std::wstring() : SingleText(static_cast<float>(ordinals[i].ToDouble()));
        std::vector<size_t> shown;
        for (long i : Sort(ordinalTexts, vb::TextCompare)) {
            const vb::Variant& ordinal = ordinals[static_cast<size_t>(i)];
            if (ordinal.IsEmpty() || ordinal.ToDouble() == 0) continue;  // not shown in the frame
            shown.push_back(static_cast<size_t>(i));
        }

        // Pass 2: a button and menus for each product shown.
        for (size_t i : shown) {
            const std::wstring& prefix = prefixes[i];
            com::ComPtr<IDispatch> object = CreateObjectByProgId(prefix + contract::ProductClassSuffix);
            const std::wstring properties = Get(object.Get(), contract::MemberProperties).ToString();
            ProductRecord record;
            record.ProgIdPrefix = prefix;
            record.Ordinal = ToSingle(Get(object.Get(), contract::MemberUtilitySuiteOrdinal));

            const int button = toolbar.AddButton();
            // A record stands for a button: a product the build stopped before has neither.
            Products.push_back(std::move(record));
            if (Names(properties, contract::MemberToolbarButtonUp) ||
                Names(properties, contract::MemberToolbarButtonDown) ||
                Names(properties, contract::MemberToolbarButtonUpOver)) {
                com::ComPtr<IPicture> up, down, over;
                if (Names(properties, contract::MemberToolbarButtonUp))
                    up = GetPicture(object.Get(), contract::MemberToolbarButtonUp);
                if (Names(properties, contract::MemberToolbarButtonDown))
                    down = GetPicture(object.Get(), contract::MemberToolbarButtonDown);
                if (Names(properties, contract::MemberToolbarButtonUpOver))
                    over = GetPicture(object.Get(), contract::MemberToolbarButtonUpOver);
                toolbar.SetButtonPictures(button, up.Get(), down.Get(), over.Get());
            }
            if (Names(properties, contract::MemberToolbarButtonToolTip))
                toolbar.SetButtonToolTip(button, Get(object.Get(), contract::MemberToolbarButtonToolTip).ToString());

            if (Names(properties, contract::MemberMdiMenu)) {
                const std::vector<std::wstring> lines =
                    MenuLines(Get(object.Get(), contract::MemberMdiMenu).ToString());
                if (!lines.empty()) {
                    size_t placeholder = 0;
                    while (placeholder < Menus.Main.size() &&
                           vb::InStr(Menus.Main[placeholder].Caption, L"Tmp", vb::TextCompare) == 0)
                        ++placeholder;
                    if (placeholder >= Menus.Main.size()) vb::Raise(vb::ErrSubscript);
                    MenuEntry& top = Menus.Main[placeholder];
                    ApplyMenuLine(top, lines[0]);
                    top.Visible = top.Enabled = true;
                    for (size_t k = 1; k < lines.size(); ++k) {
                        MenuEntry* item = GetMenuItem(L"Tmp" + std::to_wstring(placeholder), static_cast<long>(k - 1));
                        if (!item) vb::Raise(vb::ErrSubscript);
                        ApplyMenuLine(*item, lines[k]);
                        item->Visible = item->Enabled = true;
                    }
                }
            }

            if (Names(properties, contract::MemberSysTrayMenu)) {
                const std::wstring text = Get(object.Get(), contract::MemberSysTrayMenu).ToString();
                for (size_t t = 0; t + 1 < Menus.SysTray.size(); ++t) {
                    if (vb::InStr(Menus.SysTray[t].Caption, L"Tmp", vb::TextCompare) == 0) continue;
                    // Every line goes into this one entry; whether it shows is the tray menu's affair.
                    for (const std::wstring& line : MenuLines(text)) {
                        ApplyMenuLine(Menus.SysTray[t], line);
                        Menus.SysTray[t].Enabled = true;
                    }
                    break;
                }
            }

            struct Section {
                const wchar_t* member;
                std::vector<MenuEntry>* entries;
            };
            for (const Section& section : {Section{contract::MemberHelpMenu, &Menus.Help},
                                           Section{contract::MemberAboutMenu, &Menus.About}}) {
                if (!Names(properties, section.member)) continue;
                const std::vector<std::wstring> lines = MenuLines(GetMenuText(object.Get(), section.member));
                if (lines.empty()) continue;
                std::vector<MenuEntry>& entries = *section.entries;
                for (size_t e = 0; e <= 22; ++e) {
                    if (e >= entries.size()) vb::Raise(vb::ErrSubscript);  // no hidden entry left
                    if (entries[e].Visible) continue;
                    ApplyMenuLine(entries[e], lines[0]);
                    entries[e].Visible = entries[e].Enabled = true;
                    break;
                }
            }
        }
    } catch (...) {
        TrapError(L"GetDLLArributes");
    }
}

void ProductSuite::GetStandardToolbarButtons(HostToolbar& toolbar) {
    TrappedVoid(L"GetStandardToolbarButtons", [&] {
        const int spacer = toolbar.AddButton();
        toolbar.SetButtonStyle(spacer, ToolbarSpacerStyle);
        toolbar.SetButtonKey(spacer, ToolbarSpacerKey);

        const int suggestion = toolbar.AddButton();
        toolbar.SetButtonImages(suggestion, L"SuggestUp", L"SuggestDown", L"SuggestUpOver");
        toolbar.SetButtonToolTip(suggestion, std::wstring(L"Type in a brief message of") + L"\r\n" +
                                                 L"what you would like in our" + L"\r\n" +
                                                 L"products or suggest a new" + L"\r\n" + L"product!");

        const int referral = toolbar.AddButton();
        toolbar.SetButtonImages(referral, L"ReferUp", L"ReferDown", L"ReferUpOver");
        toolbar.SetButtonToolTip(referral, L"Refer this product to a friend");

        const int help = toolbar.AddButton();
        toolbar.SetButtonImages(help, L"HelpUp", L"HelpDown", L"HelpUpOver");
        toolbar.SetButtonToolTip(help, L"Help");

        toolbar.Refresh(1);
    });
}

void ProductSuite::ToolbarButtonClick(int button, HostToolbar& toolbar, HWND owner) {
    ProcGuard guard;
    try {
        const ToolbarTarget target = ToolbarTargetOf(button, toolbar.ButtonCount(), Products.size());
        switch (target.Action) {
            case ToolbarAction::OpenProduct:
                OpenProduct(target.ProductIndex, L"asxToolbar1_ButtonClick");
                break;
            case ToolbarAction::HelpContents:
                InvokeHelp(L"Lumox", owner, vb::Variant(static_cast<int16_t>(0)));
                break;
            case ToolbarAction::Help:
                InvokeHelp(L"Lumox", owner, vb::Variant(400L));
                break;
            case ToolbarAction::Referral:
                SendMail(FriendPlaceholderAddress, L"A new product for you to look at.",
                         JoinMailLines({L"Hi ,", L"", L"Your message....", L"",
                                        std::wstring(L"You can download it from ") + MakerHomePage,
                                        L"Let me know what you think !"}) +
                             kMailLineBreak + kMailLineBreak + kMailLineBreak,
                         L"", L"", owner);
                break;
            case ToolbarAction::Suggestion: {
                vb::Variant answer = MessageHandler(MessageBase + msgSuggestionTerms);
                if (answer.IsNumeric() && answer.ToLong() == AnswerYes)
                    SendMail(MakerSuggestionAddress, L"Something I would like to see you develop",
                             JoinMailLines({L"To the Morva Development Team,", L"", L"I would like a product that: ",
                                            L"", L"", L"", L"Best Regards!"}),
                             L"", L"", owner);
                break;
            }
            case ToolbarAction::None:
                break;
        }
    } catch (...) {
        TrapError(L"asxToolbar1_ButtonClick");
    }
}

bool ProductSuite::OpenProduct(long index, const wchar_t* procName) {
    ProcGuard guard;
    if (opening_) return false;
    BusyScope opening(opening_);
    try {
        if (index < 0 || static_cast<size_t>(index) >= Products.size()) return false;
        if (ProductStillOpen(index)) return false;
        const std::wstring prefix = Products[static_cast<size_t>(index)].ProgIdPrefix;
        com::ComPtr<IDispatch> product = CreateObjectByProgId(prefix + contract::ProductClassSuffix);
        OwnedVariant answer;
        com::CallByNameRaw(product.Get(), contract::MemberShowForm, DISPATCH_METHOD, {}, &answer.v);
        com::ComPtr<IDispatch> window;
        if (answer.v.vt == VT_DISPATCH && answer.v.pdispVal) {
            answer.v.pdispVal->AddRef();
            window = com::ComPtr<IDispatch>(answer.v.pdispVal);
        } else if (answer.v.vt == VT_UNKNOWN && answer.v.punkVal) {
            answer.v.punkVal->QueryInterface(IID_IDispatch, window.PutVoid());
        }
        // Kept only once its window is there: a product whose ShowForm failed stays unopened.
        ProductRecord& record = Products[static_cast<size_t>(index)];
        record.Product = std::move(product);
        record.ShownForm = std::move(window);
        return true;
    } catch (...) {
        TrapError(procName);
        return false;
    }
}

bool ProductSuite::ProductStillOpen(long index) {
    if (index < 0 || static_cast<size_t>(index) >= Products.size()) return false;
    ProductRecord& kept = Products[static_cast<size_t>(index)];
    if (!kept.Product) return false;
    try {
        return !ReleaseIfIdle(kept);
    } catch (...) {
        vb::Err().Clear();  // a window that cannot answer is still open
        return true;
    }
}

bool ProductSuite::AnyOpenProductBusy() const {
    for (const ProductRecord& record : Products) {
        if (!record.Product || !record.ShownForm) continue;
        vb::Variant interruptible;
        if (FAILED(com::TryCallByName(record.ShownForm.Get(), contract::MemberInterruptible, DISPATCH_PROPERTYGET, {},
                                      &interruptible)))
            continue;
        try {
            if (vb::TextEquals(interruptible.ToString(), L"False")) return true;
        } catch (...) {
            vb::Err().Clear();
        }
    }
    return false;
}

bool ProductSuite::ReleaseIfIdle(ProductRecord& record) {
    if (!record.Product) return false;
    bool release = !record.ShownForm;  // a product without a window holds nothing to show
    if (!release) {
        const bool visible = Get(record.ShownForm.Get(), contract::MemberVisible).ToBool();
        const std::wstring interruptible = Get(record.ShownForm.Get(), contract::MemberInterruptible).ToString();
        release = !visible && vb::TextEquals(interruptible, L"True");
    }
    if (!release) return false;
    // The record is cleared before the objects go: their release may run window code.
    com::ComPtr<IDispatch> product = std::move(record.Product);
    com::ComPtr<IDispatch> window = std::move(record.ShownForm);
    product.Reset();
    window.Reset();
    return true;
}

void ProductSuite::ReleaseIdleProducts() {
    ProcGuard guard;
    try {
        for (ProductRecord& record : Products) ReleaseIfIdle(record);
    } catch (...) {
        vb::Err().Clear();
    }
}

void ProductSuite::ReleaseAll() {
    for (ProductRecord& record : Products) {
        com::ComPtr<IDispatch> product = std::move(record.Product);
        com::ComPtr<IDispatch> window = std::move(record.ShownForm);
        product.Reset();
        window.Reset();
    }
}
