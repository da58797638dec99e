// Packs and unpacks a data set like the user's (a program list of 20,000 lines and the small
// XML and list files) and sets the times against bare zlib deflate and inflate of the same
// bytes in this process, and against the floor of the work no archive of this kind can skip:
// deflate or inflate, the traditional cipher over the compressed bytes and CRC-32 over the
// plain ones. Usage: archive_bench [rounds]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
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

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int rounds = argc > 1 ? _wtoi(argv[1]) : 15;
    if (rounds < 1) rounds = 1;

    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    const std::wstring root = std::wstring(tmp) + L"archive_bench" + std::to_wstring(GetCurrentProcessId());
    const std::wstring source = root + L"\\source", target = root + L"\\target", archive = root + L"\\TesselMorva.dat";
    CreateDirectoryW(root.c_str(), nullptr);
    CreateDirectoryW(source.c_str(), nullptr);
    CreateDirectoryW(target.c_str(), nullptr);

    const std::vector<std::pair<std::wstring, std::string>> dataSet = {
        {L"TesselExe.dat", ProgramList(20000)},
        {L"Tesselcat.xml", CategoryXml()},
        {L"Tesselma.xml", "<?xml version=\"1.0\"?>\r\n<Aliases>\r\n  <Alias Original=\"App1\" Alias=\"Editor\"/>\r\n</Aliases>\r\n"},
        {L"TesselAdd.dat", UserList("A", 40)},
        {L"TesselDel.dat", UserList("R", 10)},
        {L"TesselDef.dat", UserList("D", 60)},
        {L"TesselAsscSS.xml", CategoryXml()},
    };
    std::vector<std::wstring> files;
    size_t total = 0;
    for (const auto& [name, bytes] : dataSet) {
        files.push_back(source + L"\\" + name);
        if (!WriteBytes(files.back(), bytes)) {
            std::fprintf(stderr, "cannot write the data set\n");
            return 1;
        }
        total += bytes.size();
    }
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
        zip::ZipResult result = zip::PackFiles(archive, files, "UWLpKEh+");
        double t1 = Now();
        if (result == zip::ZipResult::Ok) result = zip::UnpackFiles(archive, target, "UWLpKEh+");
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
            zip::format::Cipher c("UWLpKEh+");
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
    std::printf("UnpackFiles:              %8.2f ms (read, decrypt, inflate, CRC, write, set times)\n", u * 1000);
    std::printf("ratio: %.2f (unpack over inflate; goal: under 1.30)\n", u / i);
    std::printf("ratio: %.2f (unpack over inflate + cipher + CRC-32)\n", u / (i + k + c));

    RemoveFolder(source);
    RemoveFolder(target);
    DeleteFileW(archive.c_str());
    RemoveDirectoryW(root.c_str());
    return 0;
}
