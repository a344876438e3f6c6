// The web service's request-path check and its site lookup.
//  - A path the service accepts names a file inside the site directory, symbolic links resolved.
//  - A path the check calls unsafe is never found.

#include "FuzzCheck.h"

#include "service/SiteFiles.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

// A small site with a file, a subfolder, a hidden file, a file of a type not served and a link
// out of the site, made once in a temporary folder.
const velmora::service::SiteFiles& site() {
    static const velmora::service::SiteFiles files = [] {
        const fs::path base = fs::temp_directory_path() / ("velmora-fuzz-site-" + std::to_string(::getpid()));
        fs::create_directories(base / "site" / "sub");
        std::ofstream(base / "site" / "start.html") << "<html></html>";
        std::ofstream(base / "site" / "sub" / "a.htm") << "a";
        std::ofstream(base / "site" / ".hidden.html") << "h";
        std::ofstream(base / "site" / "shops.tsv") << "s";
        std::ofstream(base / "outside.html") << "o";
        std::error_code ignored;
        fs::create_symlink(base / "outside.html", base / "site" / "link.html", ignored);
        return velmora::service::SiteFiles(base / "site");
    }();
    return files;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path(reinterpret_cast<const char*>(data), size);
    const velmora::service::SiteFiles& files = site();
    const velmora::service::SiteFiles::Lookup found = files.find(path);
    if (velmora::service::SiteFiles::isUnsafePath(path))
        FUZZ_CHECK(found.check != velmora::service::SiteFiles::Check::Found);
    if (found.check == velmora::service::SiteFiles::Check::Found) {
        std::error_code error;
        const fs::path real = fs::canonical(found.file, error);
        FUZZ_CHECK(!error);
        const std::string root = files.root().string() + "/";
        FUZZ_CHECK(real.string().rfind(root, 0) == 0);
        FUZZ_CHECK(real.filename().string().front() != '.');
        FUZZ_CHECK(!found.contentType.empty());
    }
    return 0;
}
