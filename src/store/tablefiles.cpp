// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/tablefiles.h"

#include "store/storeerror.h"
#include "store/storemessages.h"

#include <cerrno>

namespace store {

TableFileNames tableFileNames(const std::string& tableName)
{
    std::size_t nameStart = tableName.find_last_of('/');
    nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
    std::size_t dot = tableName.find_last_of('.');
    bool hasExtension = dot != std::string::npos && dot >= nameStart;
    std::string stem = hasExtension ? tableName.substr(0, dot) : tableName;
    std::string extension = hasExtension ? tableName.substr(dot + 1) : "";
    bool isDat = extension.size() == 3 && (extension[0] | 0x20) == 'd' && (extension[1] | 0x20) == 'a' &&
                 (extension[2] | 0x20) == 't';
    return TableFileNames{isDat ? tableName : stem + ".DAT", stem + ".IDX", stem + ".BLB", stem + ".JNL",
                          stem + ".JNS"};
}

std::unique_ptr<File> openTableFile(FileSystem& files, const std::string& path, const std::string& dataFileName,
                                    Access access, const OpenMode& mode)
{
    OpenStatus status = OpenStatus::OtherError;
    auto file = files.open(path, access, mode.sharing, mode.writeThrough, status);
    if (file) return file;
    switch (status) {
    case OpenStatus::NotFound: throw StoreError(messages::invalidPath(dataFileName));
    case OpenStatus::AccessDenied:
    case OpenStatus::SharingViolation: throw StoreError(messages::accessDenied(dataFileName));
    case OpenStatus::TooManyFiles: throw StoreError(messages::tooManyFiles(dataFileName));
    default: throw StoreError(messages::unknownSystemError(dataFileName));
    }
}

void readOrFail(File& file, std::int64_t offset, void* data, std::int64_t size, const std::string& dataFileName)
{
    if (!readExact(file, offset, data, size)) throw StoreError(messages::errorReading(dataFileName));
}

std::string writeFailure(const File& file, const std::string& dataFileName)
{
    return file.lastError() == ENOSPC ? messages::notEnoughSpace(dataFileName) : messages::errorWriting(dataFileName);
}

void writeOrFail(File& file, std::int64_t offset, const void* data, std::int64_t size,
                 const std::string& dataFileName, const void* before)
{
    if (file.writeAtOver(offset, data, size, before) != size) throw StoreError(writeFailure(file, dataFileName));
}

void truncateOrFail(File& file, std::int64_t size, const std::string& dataFileName)
{
    if (!file.truncate(size)) throw StoreError(writeFailure(file, dataFileName));
}

std::int64_t sizeOrFail(File& file, const std::string& dataFileName)
{
    std::int64_t size = file.size();
    if (size < 0) throw StoreError(messages::errorReading(dataFileName));
    return size;
}

}  // namespace store
