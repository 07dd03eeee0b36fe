#include "zip_writer.h"

#include <zip.h>
#include <zlib.h>

namespace yhz::test {

bool writeZip(const std::string& path, const std::vector<ZipEntry>& entries) {
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    if (zip == nullptr) {
        return false;
    }
    bool ok = true;
    for (const ZipEntry& e : entries) {
        zip_fileinfo info{};
        info.external_fa = static_cast<uLong>(e.mode) << 16;
        if (!e.name.empty() && e.name.back() == '/') {
            info.external_fa |= 0x10;
        }
        const uLong madeBy = e.mode != 0 ? (3u << 8) | 20u : 20u;
        const uLong flags = e.utf8Flag ? 0x800u : 0u;
        const int raw = e.badChecksum ? 1 : 0;
        ok = ok && zipOpenNewFileInZip4_64(zip, e.name.c_str(), &info, nullptr, 0, nullptr, 0,
                                           nullptr, raw ? 0 : Z_DEFLATED, Z_DEFAULT_COMPRESSION,
                                           raw, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY,
                                           nullptr, 0, madeBy, flags, 0) == ZIP_OK;
        ok = ok && zipWriteInFileInZip(zip, e.content.data(),
                                       static_cast<unsigned>(e.content.size())) == ZIP_OK;
        if (raw) {
            const uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(e.content.data()),
                                    static_cast<uInt>(e.content.size())) ^
                              0xFFu;
            ok = ok && zipCloseFileInZipRaw64(zip, e.content.size(), crc) == ZIP_OK;
        } else {
            ok = ok && zipCloseFileInZip(zip) == ZIP_OK;
        }
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}

}  // namespace yhz::test
