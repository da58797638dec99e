#include "zip/ZipArchive.h"

namespace zip {

const wchar_t* ZipResultText(ZipResult result) {
    switch (result) {
        case ZipResult::Ok: return L"The archive was read or written.";
        case ZipResult::CannotOpen: return L"The archive is missing or cannot be read.";
        case ZipResult::NotZip: return L"The file is not a ZIP archive, or it is truncated.";
        case ZipResult::Damaged: return L"The archive is damaged.";
        case ZipResult::BadPassword: return L"The archive's password is wrong.";
        case ZipResult::CrcMismatch: return L"A file in the archive does not match its checksum.";
        case ZipResult::Unsupported: return L"The archive uses a format or method that is not supported.";
        case ZipResult::UnsafeName: return L"The archive holds a file name that is not a plain file name.";
        case ZipResult::NoFiles: return L"There are no files to pack.";
        case ZipResult::ReadFailed: return L"A file to pack could not be read.";
        case ZipResult::WriteFailed: return L"A file could not be written.";
    }
    return L"Unknown archive result.";
}

}  // namespace zip
