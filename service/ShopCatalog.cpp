#include "service/ShopCatalog.h"

#include <charconv>
#include <fstream>
#include <set>
#include <sstream>

namespace velmora::service {

namespace {

std::vector<std::string_view> splitTabs(std::string_view line) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
        const auto tab = line.find('\t', start);
        if (tab == std::string_view::npos) {
            parts.push_back(line.substr(start));
            return parts;
        }
        parts.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

// Why a text cannot stand in a directory record, or an empty string when it can.
std::string unsafeInRecord(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return "a control character";
        if (c == ',')
            return "a comma";
        if (c == '"')
            return "a double quote";
    }
    for (const char* marker : {"kod", "EM:", "***", "&nb"}) {
        if (text.find(marker) != std::string_view::npos)
            return std::string("\"") + marker + "\"";
    }
    return {};
}

} // namespace

std::variant<ShopCatalog, std::string> ShopCatalog::load(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return "cannot read the shop list " + file.string();
    std::ostringstream text;
    text << in.rdbuf();
    auto result = parse(text.str());
    if (auto* error = std::get_if<std::string>(&result))
        *error = file.string() + ": " + *error;
    return result;
}

std::variant<ShopCatalog, std::string> ShopCatalog::parse(std::string_view text) {
    ShopCatalog catalog;
    std::set<int> codeValues;
    int lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (trimmed(line).empty() || line.front() == '#')
            continue;

        const std::string where = "line " + std::to_string(lineNumber) + ": ";
        const auto parts = splitTabs(line);
        if (parts.size() != 7)
            return where + "expected 7 tab-separated fields, found " + std::to_string(parts.size());

        Shop shop;
        shop.code = std::string(trimmed(parts[0]));
        if (shop.code.size() != 3 || shop.code.find_first_not_of("0123456789") != std::string::npos)
            return where + "the shop code must be three digits, found \"" + shop.code + "\"";
        const int codeValue = std::stoi(shop.code);
        if (!codeValues.insert(codeValue).second)
            return where + "shop code " + shop.code + " has the same value as an earlier code";

        const auto served = trimmed(parts[1]);
        if (served != "yes" && served != "no")
            return where + "the served field must be yes or no";
        shop.served = served == "yes";

        const auto first = trimmed(parts[2]);
        const auto [ptr, ec] = std::from_chars(first.data(), first.data() + first.size(), shop.firstNumber);
        if (ec != std::errc() || ptr != first.data() + first.size() || shop.firstNumber < 1 ||
            shop.firstNumber > 999'999'999)
            return where + "the first order number must be a number from 1 to 999999999";

        shop.name = std::string(trimmed(parts[3]));
        shop.address = std::string(trimmed(parts[4]));
        shop.details = std::string(trimmed(parts[5]));
        shop.email = std::string(trimmed(parts[6]));
        if (shop.name.empty())
            return where + "the shop has no name";
        const std::pair<const char*, const std::string*> texts[] = {{"name", &shop.name},
                                                                    {"address", &shop.address},
                                                                    {"details", &shop.details},
                                                                    {"e-mail", &shop.email}};
        for (const auto& [label, value] : texts) {
            const std::string problem = unsafeInRecord(*value);
            if (!problem.empty())
                return where + "the " + label + " holds " + problem +
                       ", which the program's directory reader cannot carry";
        }
        if (!shop.email.empty() &&
            (shop.email.find('@') == std::string::npos || shop.email.find(' ') != std::string::npos))
            return where + "the e-mail address is not an address: " + shop.email;
        catalog.m_shops.push_back(std::move(shop));
    }
    return catalog;
}

const Shop* ShopCatalog::find(std::string_view code) const {
    for (const Shop& shop : m_shops) {
        if (shop.code == code)
            return &shop;
    }
    return nullptr;
}

std::string ShopCatalog::directoryRecord(const Shop& shop) {
    std::string record = shop.name;
    if (!shop.address.empty())
        record += " - " + shop.address;
    record += " kod" + shop.code;
    if (!shop.details.empty())
        record += " " + shop.details;
    record += " EM:" + (shop.email.empty() ? std::string("&nbsp;") : shop.email);
    return record;
}

std::string ShopCatalog::directoryText() const {
    std::string text;
    for (const Shop& shop : m_shops)
        text += directoryRecord(shop) + "\r\n";
    text += "***\r\n";
    return text;
}

} // namespace velmora::service
