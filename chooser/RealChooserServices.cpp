// The chooser's services as the running server uses them.
#include "Rundel.h"
#include "basChooserData.h"
#include "basLaunch.h"

namespace {

class RealServices : public ChooserServices {
public:
    bool LoadData(ChooserData& data) override { return LoadChooserData(data); }
    std::optional<AliasShown> FindAlias(const std::vector<std::wstring>& programFields) override {
        return AliasShownByOriginal(programFields);
    }
    std::wstring WindowsDefaultProgram(const std::wstring& file) override { return GetWindowsDefaultProgram(file); }
    long ShowList(const std::wstring& caption, const std::vector<ListRow>& rows) override {
        return ShowChoiceList(caption, rows);
    }
    long Launch(const std::wstring& program, const std::wstring& file, const std::wstring& verb) override {
        return LaunchProgram(program, file, verb);
    }
    std::wstring MarkerFolder() override { return GetAppPath(); }
};

}  // namespace

ChooserServices& RealChooserServices() {
    static RealServices services;
    return services;
}
