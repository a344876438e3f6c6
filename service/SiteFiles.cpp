#include "service/SiteFiles.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <system_error>

namespace velmora::service {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxPathLength = 512;

} // namespace

SiteFiles::SiteFiles(const fs::path& root) {
    std::error_code ec;
    m_root = fs::canonical(root, ec);
    if (ec)
        m_root = fs::absolute(root, ec);
}

bool SiteFiles::isUnsafePath(std::string_view urlPath) {
    if (urlPath.empty() || urlPath.front() != '/' || urlPath.size() > kMaxPathLength)
        return true;
    for (const char c : urlPath) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f || c == '\\' || c == ':')
            return true;
    }
    std::string_view rest = urlPath.substr(1);
    while (true) {
        const auto slash = rest.find('/');
        const std::string_view segment = rest.substr(0, slash);
        // "." and ".." walk the tree; hidden names are no site pages; "//" hides nothing useful.
        if (segment.empty() || segment.front() == '.')
            return true;
        if (slash == std::string_view::npos)
            return false;
        rest = rest.substr(slash + 1);
    }
}

std::string SiteFiles::contentTypeFor(const fs::path& file) {
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    // Every text of the site is Windows-1255, like every file the program reads.
    if (ext == ".htm" || ext == ".html")
        return "text/html; charset=windows-1255";
    if (ext == ".txt")
        return "text/plain; charset=windows-1255";
    if (ext == ".css")
        return "text/css; charset=windows-1255";
    if (ext == ".png")
        return "image/png";
    if (ext == ".gif")
        return "image/gif";
    if (ext == ".jpg" || ext == ".jpeg")
        return "image/jpeg";
    if (ext == ".ico")
        return "image/x-icon";
    return {};
}

SiteFiles::Lookup SiteFiles::find(std::string_view urlPath) const {
    Lookup lookup;
    if (isUnsafePath(urlPath)) {
        lookup.check = Check::Refused;
        return lookup;
    }
    const fs::path candidate = m_root / fs::path(std::string(urlPath.substr(1)));
    lookup.contentType = contentTypeFor(candidate);
    if (lookup.contentType.empty())
        return lookup;

    std::error_code ec;
    const fs::path real = fs::canonical(candidate, ec);
    if (ec || !fs::is_regular_file(real, ec))
        return lookup;
    // A symbolic link inside the site may point anywhere; what counts is where the file lies.
    const auto [rootEnd, realIt] = std::mismatch(m_root.begin(), m_root.end(), real.begin(), real.end());
    if (rootEnd != m_root.end() || realIt == real.end()) {
        lookup.check = Check::Refused;
        return lookup;
    }
    lookup.check = Check::Found;
    lookup.file = real;
    return lookup;
}

std::optional<std::string> SiteFiles::read(const fs::path& file, std::size_t maxBytes) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string content;
    char buffer[16384];
    while (in) {
        in.read(buffer, sizeof buffer);
        content.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (content.size() > maxBytes)
            return std::nullopt;
    }
    if (in.bad())
        return std::nullopt;
    return content;
}

} // namespace velmora::service
