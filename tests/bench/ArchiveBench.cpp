// Packs and unpacks a data set like the user's (a program list of 20,000 lines and the small
// XML and list files) and sets the times against bare zlib deflate and inflate of the same
// bytes in this process, and against the floor of the work no archive of this kind can skip:
// deflate or inflate, the traditional cipher over the compressed bytes and CRC-32 over the
// plain ones.
// With --against, it also unpacks an archive that archive_bench.sh has timed Info-ZIP's unzip
// on, into an emptied folder beside it as unzip did, and sets our time against unzip's.
// Usage: archive_bench [rounds] [--against ARCHIVE UNZIP_MS START_MS]
//        archive_bench --write ARCHIVE   (packs the data set into ARCHIVE and ends)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include <zlib.h>

#include "BenchSupport.h"
#include "zip/ZipArchive.h"
#include "zip/ZipFormat.h"

namespace {

using benchsupport::Now;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::string ProgramList(int lines) {
    std::string text;
    char line[512];
    for (int i = 1; i <= lines; ++i) {
        std::snprintf(line, sizeof line,
                      "C:\\Program Files\\Vendor%d\\App%d.exe|APP%d~1.EXE|Vendor %d|Product %d|%d.%d.%d.%d|"
                      "C:\\PROGRA~1\\VENDOR~%d\\APP%d~1.EXE\r\n",
                      i % 700, i, i, i % 700, i, 1 + i % 9, i % 13, i % 100, i, i % 700, i);
        text += line;
    }
    return text;
}

std::string CategoryXml() {
    std::string text = "<?xml version=\"1.0\"?>\r\n<Categories>\r\n";
    for (int c = 1; c <= 12; ++c) {
        text += "  <Category Name=\"Category " + std::to_string(c) + "\">\r\n";
        for (int s = 1; s <= 6; ++s) {
            text += "    <Subcategory Name=\"Sub " + std::to_string(s) + "\">\r\n";
            for (int e = 1; e <= 4; ++e) text += "      <Extension Name=\".e" + std::to_string(c * 100 + s * 10 + e) + "\"/>\r\n";
            for (int p = 1; p <= 3; ++p) {
                int n = c * 50 + s * 5 + p;
                text += "      <Program Path=\"C:\\Program Files\\Vendor" + std::to_string(n) + "\\App" +
                        std::to_string(n) + ".exe\" Short=\"APP" + std::to_string(n) + "~1.EXE\"/>\r\n";
            }
            text += "    </Subcategory>\r\n";
        }
        text += "  </Category>\r\n";
    }
    return text + "</Categories>\r\n";
}

std::string UserList(const char* status, int lines) {
    std::string text;
    for (int i = 1; i <= lines; ++i)
        text += ".ext" + std::to_string(i) + "|C:\\Program Files\\Vendor" + std::to_string(i) + "\\App" +
                std::to_string(i) + ".exe|APP" + std::to_string(i) + "~1.EXE|Vendor|Product|1.0.0.0|" + status +
                "\r\n";
    return text;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD done = 0;
    bool ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) && done == bytes.size();
    CloseHandle(h);
    return ok;
}

void EmptyFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((folder + L"\\" + data.cFileName).c_str());
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

void RemoveFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((folder + L"\\" + name).c_str());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

// Bare raw deflate and inflate with the settings the archive uses.
std::string Deflate(z_stream& s, const std::string& in) {
    deflateReset(&s);
    std::string out(deflateBound(&s, static_cast<uLong>(in.size())), '\0');
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    s.avail_in = static_cast<uInt>(in.size());
    s.next_out = reinterpret_cast<Bytef*>(out.data());
    s.avail_out = static_cast<uInt>(out.size());
    deflate(&s, Z_FINISH);
    out.resize(s.total_out);
    return out;
}

void Inflate(z_stream& s, const std::string& in, std::string& out) {
    inflateReset(&s);
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    s.avail_in = static_cast<uInt>(in.size());
    s.next_out = reinterpret_cast<Bytef*>(out.data());
    s.avail_out = static_cast<uInt>(out.size());
    inflate(&s, Z_FINISH);
}

const std::string kPassword = "UWLpKEh+";

// The data set: a program list of 20,000 lines and the small XML and list files.
std::vector<std::pair<std::wstring, std::string>> DataSet() {
    return {
        {L"TesselExe.dat", ProgramList(20000)},
        {L"Tesselcat.xml", CategoryXml()},
        {L"Tesselma.xml", "<?xml version=\"1.0\"?>\r\n<Aliases>\r\n  <Alias Original=\"App1\" Alias=\"Editor\"/>\r\n</Aliases>\r\n"},
        {L"TesselAdd.dat", UserList("A", 40)},
        {L"TesselDel.dat", UserList("R", 10)},
        {L"TesselDef.dat", UserList("D", 60)},
        {L"TesselAsscSS.xml", CategoryXml()},
    };
}

// Writes the data set's files into folder; false when one cannot be written.
bool WriteDataSet(const std::wstring& folder, const std::vector<std::pair<std::wstring, std::string>>& dataSet,
                  std::vector<std::wstring>& files) {
    files.clear();
    for (const auto& [name, bytes] : dataSet) {
        files.push_back(folder + L"\\" + name);
        if (!WriteBytes(files.back(), bytes)) return false;
    }
    return true;
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

// Packs the data set into archive, for archive_bench.sh to time unzip on.
int WriteArchive(const std::wstring& archive) {
    const std::wstring source = FolderOf(archive) + L"\\source";
    CreateDirectoryW(source.c_str(), nullptr);
    std::vector<std::wstring> files;
    const bool written = WriteDataSet(source, DataSet(), files);
    const zip::ZipResult result = written ? zip::PackFiles(archive, files, kPassword) : zip::ZipResult::ReadFailed;
    RemoveFolder(source);
    if (result != zip::ZipResult::Ok) {
        std::fprintf(stderr, "cannot pack the data set into %ls: %ls\n", archive.c_str(), zip::ZipResultText(result));
        return 1;
    }
    return 0;
}

// Our unpack of the archive unzip was timed on, into an emptied folder beside it, set against
// unzip's median; the folder keeps the last round's files for the script to compare.
int AgainstUnzip(const std::wstring& archive, double unzipMs, double startMs, int rounds) {
    const std::wstring target = FolderOf(archive) + L"\\ours";
    CreateDirectoryW(target.c_str(), nullptr);
    std::vector<double> unpack;
    for (int r = 0; r < rounds; ++r) {
        EmptyFolder(target);
        const double t0 = Now();
        const zip::ZipResult result = zip::UnpackFiles(archive, target, kPassword);
        const double t1 = Now();
        if (result != zip::ZipResult::Ok) {
            std::fprintf(stderr, "cannot unpack %ls: %ls\n", archive.c_str(), zip::ZipResultText(result));
            return 1;
        }
        unpack.push_back(t1 - t0);
    }
    const double u = Median(unpack) * 1000;
    std::printf("\nthe same archive file, unpacked into an emptied folder beside it (%d rounds, medians):\n", rounds);
    std::printf("Info-ZIP unzip -P -o -q:  %8.2f ms (a Linux process: start, read, decrypt, inflate, CRC, write,\n"
                "                                      set times; timed from the shell)\n", unzipMs);
    std::printf("bare process start:       %8.2f ms (/bin/true, timed the same way)\n", startMs);
    std::printf("UnpackFiles:              %8.2f ms (in this process under Wine: read, decrypt, inflate, CRC,\n"
                "                                      write to new files, set times, rename into place)\n", u);
    std::printf("ratio: %.2f (unpack over unzip, its process start included)\n", u / unzipMs);
    if (unzipMs > startMs)
        std::printf("ratio: %.2f (unpack over unzip less a bare process start; goal: under 1.50)\n", u / (unzipMs - startMs));
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wcscmp(argv[1], L"--write") == 0) return WriteArchive(argv[2]);
    int rounds = 15;
    const wchar_t* against = nullptr;
    double unzipMs = 0, startMs = 0;
    for (int a = 1; a < argc; ++a) {
        if (std::wcscmp(argv[a], L"--against") == 0 && a + 3 < argc) {
            against = argv[a + 1];
            unzipMs = _wtof(argv[a + 2]);
            startMs = _wtof(argv[a + 3]);
            a += 3;
        } else {
            rounds = _wtoi(argv[a]);
        }
    }
    if (rounds < 1) rounds = 1;
    if (against && unzipMs <= 0) {
        std::fprintf(stderr, "--against needs the archive, unzip's time and a bare process start's, in ms\n");
        return 2;
    }

    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    const std::wstring root = std::wstring(tmp) + L"archive_bench" + std::to_wstring(GetCurrentProcessId());
    const std::wstring source = root + L"\\source", target = root + L"\\target", archive = root + L"\\TesselMorva.dat";
    CreateDirectoryW(root.c_str(), nullptr);
    CreateDirectoryW(source.c_str(), nullptr);
    CreateDirectoryW(target.c_str(), nullptr);

    const auto dataSet = DataSet();
    std::vector<std::wstring> files;
    if (!WriteDataSet(source, dataSet, files)) {
        std::fprintf(stderr, "cannot write the data set\n");
        return 1;
    }
    size_t total = 0;
    for (const auto& file : dataSet) total += file.second.size();
    std::printf("data set: %zu files, %zu bytes; %d rounds, medians\n", dataSet.size(), total, rounds);

    z_stream deflater{}, inflater{};
    deflateInit2(&deflater, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    inflateInit2(&inflater, -MAX_WBITS);
    std::vector<std::string> packed(dataSet.size()), plain(dataSet.size());
    std::vector<double> pack, unpack, bareDeflate, bareInflate, cipher, crc;
    size_t packedTotal = 0;
    for (int r = 0; r < rounds; ++r) {
        // The callers unpack into an emptied working folder.
        EmptyFolder(target);
        double t0 = Now();
        zip::ZipResult result = zip::PackFiles(archive, files, kPassword);
        double t1 = Now();
        if (result == zip::ZipResult::Ok) result = zip::UnpackFiles(archive, target, kPassword);
        double t2 = Now();
        if (result != zip::ZipResult::Ok) {
            std::fprintf(stderr, "archive failed: %ls\n", zip::ZipResultText(result));
            return 1;
        }
        pack.push_back(t1 - t0);
        unpack.push_back(t2 - t1);

        t0 = Now();
        packedTotal = 0;
        for (size_t i = 0; i < dataSet.size(); ++i) {
            packed[i] = Deflate(deflater, dataSet[i].second);
            packedTotal += packed[i].size();
        }
        t1 = Now();
        for (size_t i = 0; i < dataSet.size(); ++i) {
            plain[i].resize(dataSet[i].second.size());
            Inflate(inflater, packed[i], plain[i]);
        }
        t2 = Now();
        bareDeflate.push_back(t1 - t0);
        bareInflate.push_back(t2 - t1);

        t0 = Now();
        for (auto& bytes : packed) {
            zip::format::Cipher c(kPassword);
            c.Decrypt(reinterpret_cast<uint8_t*>(bytes.data()), bytes.size());
        }
        t1 = Now();
        for (const auto& bytes : plain) crc32_z(0, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size());
        t2 = Now();
        cipher.push_back(t1 - t0);
        crc.push_back(t2 - t1);
        for (size_t i = 0; i < dataSet.size(); ++i)
            if (plain[i] != dataSet[i].second) {
                std::fprintf(stderr, "bare inflate gave other bytes\n");
                return 1;
            }
    }
    deflateEnd(&deflater);
    inflateEnd(&inflater);

    double p = Median(pack), d = Median(bareDeflate), u = Median(unpack), i = Median(bareInflate);
    double k = Median(cipher), c = Median(crc);
    std::printf("compressed: %zu bytes\n", packedTotal);
    std::printf("zlib deflate:             %8.2f ms\n", d * 1000);
    std::printf("zlib inflate:             %8.2f ms\n", i * 1000);
    std::printf("cipher (compressed bytes):%8.2f ms\n", k * 1000);
    std::printf("CRC-32 (plain bytes):     %8.2f ms\n", c * 1000);
    std::printf("PackFiles:                %8.2f ms (read, CRC, deflate, encrypt, write, flush, replace)\n", p * 1000);
    std::printf("ratio: %.2f (pack over deflate; goal: under 1.30)\n", p / d);
    std::printf("ratio: %.2f (pack over deflate + cipher + CRC-32)\n", p / (d + k + c));
    std::printf("UnpackFiles:              %8.2f ms (read, decrypt, inflate, CRC, write, set times, rename)\n", u * 1000);
    std::printf("ratio: %.2f (unpack over inflate; goal: under 1.30)\n", u / i);
    std::printf("ratio: %.2f (unpack over inflate + cipher + CRC-32)\n", u / (i + k + c));

    RemoveFolder(source);
    RemoveFolder(target);
    DeleteFileW(archive.c_str());
    RemoveDirectoryW(root.c_str());
    return against ? AgainstUnzip(against, unzipMs, startMs, rounds) : 0;
}
