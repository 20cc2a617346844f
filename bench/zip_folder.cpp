// Zips a folder the way the Files browser does: bench_zip_folder FOLDER ARCHIVE (host paths).
#include "app/support/TKZipArchive.h"
#include "platform/foundation/DeviceRoot.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FOLDER ARCHIVE\n", argv[0]);
        return 2;
    }
    DeviceRoot::setRoot("/");
    return TKZipArchive::createZipFileAtPathWithContentsOfDirectory(argv[2], argv[1]) ? 0 : 1;
}
