// The alias file "Tesselma.xml": the names under which the user shows programs whose version
// information is missing, and the two look-ups by the names shown and by the names found.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "vb/VbList.h"

struct AliasRecord {
    bool Removed = false;
    std::wstring Company;  // as the program scan found them
    std::wstring Product;
    std::wstring Version;
    std::wstring LongPath;
    std::wstring ShortPath;
    std::wstring CompanyA;  // the alias shown instead
    std::wstring ProductA;
    std::wstring VersionA;
    std::wstring LongPathA;
    std::wstring ShortPathA;
};

// The calling thread's records, 1 to AliasCount (element 0 empty). The alias dialog adds
// records and marks them removed.
vb::List<AliasRecord>& Aliases();
long AliasCount();

// Reads AliasFilePath into Aliases. A missing or unreadable file leaves the records as they were.
void GetAliases();
// Reads the alias file's bytes, read elsewhere (from the archive in memory, say), into Aliases,
// without a status text. Bytes that do not parse leave the records as they were.
void GetAliasesFromBytes(const std::vector<uint8_t>& bytes);
// Writes AliasFilePath from the records not marked removed.
void SaveAliases();

// The company and product of a description "Company - Product": the parts around its first
// " - ", so that a company such as "X-Rite" stays whole; a description without " - " splits at
// its first "-" with the blank on either side taken off. False without any "-".
bool SplitDescription(const std::wstring& description, std::wstring& company, std::wstring& product);

// Whether the record's program had version information: neither company nor product is
// "Missing info." and the version is not "No version info.".
bool AliasRecordHasInfo(const AliasRecord& record);

// Program fields: 0 "Company - Product", 1 version, 2 status, 3 long path, 4 short path.
// The index of the first record not removed that matches, -1 when none. A description matches a
// record's whole "company - product"; a record of a program without version information matches
// only the fields of that program's long path.
long AliasIndex(const std::vector<std::wstring>& fields);
long AliasIndexByOriginal(const std::vector<std::wstring>& fields);
// Fields with the description and version put back as the scan found them, when the
// program is shown under an alias.
std::vector<std::wstring> GetOriginalProgramFields(const std::vector<std::wstring>& fields);
