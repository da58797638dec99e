// The chooser's request handling: for one request text, start the user's fixed program,
// show the list of the user's programs and start the one picked, or decline so that the
// shell opens the file itself. What it uses of the world (data, the Windows program, the
// list window, the shell, the marker folder) comes through ChooserServices.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "frmList.h"
#include "vb/VbList.h"

// The user's override lists as one request loaded them.
struct ChooserData {
    vb::List<std::wstring> AddList;
    vb::List<std::wstring> RemoveList;
    vb::List<std::wstring> DefList;
};

// An alias as the list shows it.
struct AliasShown {
    std::wstring CompanyA;
    std::wstring ProductA;
    std::wstring VersionA;
};

class ChooserServices {
public:
    virtual ~ChooserServices() = default;
    // Loads the override lists (and whatever the alias look-up needs); false when the data
    // archive is damaged, and the request is declined.
    virtual bool LoadData(ChooserData& data) = 0;
    // The alias of the program whose fields (description, version, status, long path, short
    // path) are given, by the values the scan found.
    virtual std::optional<AliasShown> FindAlias(const std::vector<std::wstring>& programFields) = 0;
    // The Windows program record of the file ("" when none); may raise.
    virtual std::wstring WindowsDefaultProgram(const std::wstring& file) = 0;
    // Shows the rows and answers ChosenIndex (1-based, -1 for no choice) or kListNotSized.
    virtual long ShowList(const std::wstring& caption, const std::vector<ListRow>& rows) = 0;
    // Starts program with file; answers the shell's result.
    virtual long Launch(const std::wstring& program, const std::wstring& file, const std::wstring& verb) = 0;
    // Where the marker files live.
    virtual std::wstring MarkerFolder() = 0;
};

// The real world: the data archive, the shell, the list window, the chooser's own folder.
ChooserServices& RealChooserServices();

// Answers 0 (handled) or 1 (the shell goes on). Never raises and never shows a message.
long Rundel(const std::wstring& rsParams, ChooserServices& services);

inline constexpr COLORREF kAliasColour = 0xFF0000;
