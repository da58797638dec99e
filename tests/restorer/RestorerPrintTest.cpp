// The restorer's "Print" button: its difference list on the print device.
#include <algorithm>
#include <memory>

#include "RecordingPrintDevice.h"
#include "RestorerTestSupport.h"
#include "UiTestForms.h"
#include "PrintList.h"
#include "basWinAPI_Registry.h"
#include "frmAssociationRestorer.h"

namespace {

class QuietOptionsServices : public OptionsWindowServices {
public:
    void ShowInfo(const std::wstring&) override {}
    void SetAliasCount(long) override {}
    bool NeedToSaveUserChoices() const override { return false; }
    void SetNeedToSaveUserChoices(bool) override {}
    vb::List<HTREEITEM> GetNodesToBeRemoved() override { return {}; }
    void RemoveProgram(HTREEITEM, bool) override {}
    // The model is the one the test put in place, as loaded.
    bool RedisplayExtensionList() override { return true; }
};

class RestorerPrintTest : public RestorerScratch {
protected:
    void SetUp() override {
        RestorerScratch::SetUp();
        options_ = std::make_unique<TestForm>(L"frmTesselOptions");
        SetOptionsWindowAccessor([this]() -> win::Window* { return options_.get(); });
        previousServices_ = SetOptionsWindowServices(&services_);
        Registry(regSave, L"4", L"", vb::Variant(L"Morva Utility Manager First Time"), vb::Variant(L"False"),
                 std::nullopt, HKEY_LOCAL_MACHINE, true);
        previousMaker_ = SetPrintDeviceMaker([this] { return std::make_unique<RecordingPrintDevice>(log_); });
    }
    void TearDown() override {
        SetPrintDeviceMaker(previousMaker_);
        frmAssociationRestorer::Release();
        SetOptionsWindowServices(previousServices_);
        SetOptionsWindowAccessor(nullptr);
        options_.reset();
        RestorerScratch::TearDown();
    }

    // Three differences: an extension added and one removed since the snapshot, one changed.
    void ModelWithChanges() {
        const std::wstring ok = L"\"" + ThisProgram() + L"\" \"%1\"";
        SetModel({Key(L".a", {Text(L"", L"afile")}), Key(L".b", {Text(L"", L"afile")})}, {Class(L"afile", ok)});
        ASSERT_TRUE(SnapshotModel());
        SetModel({Key(L".b", {Text(L"", L"bfile")}), Key(L".c", {Text(L"", L"afile")})},
                 {Class(L"afile", ok), Class(L"bfile", ok)});
    }

    std::shared_ptr<PrintLog> log_ = std::make_shared<PrintLog>();
    std::unique_ptr<TestForm> options_;
    QuietOptionsServices services_;
    OptionsWindowServices* previousServices_ = nullptr;
    PrintDeviceMaker previousMaker_;
};

TEST_F(RestorerPrintTest, PrintButtonsClickHandlerPutsTheDifferenceListOnThePrinter) {
    ModelWithChanges();
    frmAssociationRestorer& form = frmAssociationRestorer::Default();
    form.Form_Activate();
    ASSERT_EQ(form.lvw->Count(), 3);
    ASSERT_TRUE(form.cmd[7]->Enabled());
    boxes.shown.clear();
    form.cmd[7]->Click();

    std::vector<std::wstring> texts;
    int rules = 0;
    for (const PrintOp& op : *log_) {
        if (op.kind == PrintOp::Text) texts.push_back(op.text);
        if (op.kind == PrintOp::Line) ++rules;
    }
    ASSERT_FALSE(texts.empty());
    long major = 0, minor = 0;
    ModuleVersion(major, minor);
    EXPECT_EQ(texts[0], L"Page 1    " + RestorerListTitle(major, minor));
    const std::vector<std::wstring> headings(texts.begin() + 1, texts.begin() + 6);
    EXPECT_EQ(headings, (std::vector<std::wstring>{L"Action", L"Ext.", L"Was", L"Is", L"Status"}));
    // The rows' cells in list order, each cut to its column.
    for (int r = 0; r < 3; ++r) {
        const std::wstring action = form.lvw->ItemText(r, 0);
        EXPECT_NE(std::find(texts.begin(), texts.end(), action), texts.end()) << vb::ToAnsi(action);
    }
    EXPECT_EQ(rules, 4) << "two around the headings, one after the third row and the closing one";
    EXPECT_EQ(log_->back().kind, PrintOp::EndDoc);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_DOUBLE_EQ(form.SetColWidth(0, 1, 0.1), 1.2);
}

}  // namespace
