#pragma once

#include <cctype>
#include <map>
#include <set>
#include <string>
#include <vector>

// Finds elements in served markup the way a browser numbers them: start tags in document
// order, skipping comments and the contents of <script> and <style>. Enough HTML for pages
// whose elements are closed explicitly.
namespace markup {

struct Element
{
    std::string tag;
    std::map<std::string, std::string> attributes;
    std::string text; // text content, tags removed, entities decoded
    bool has(const std::string& name) const { return attributes.count(name) != 0; }
    std::string attr(const std::string& name) const
    {
        const auto it = attributes.find(name);
        return it == attributes.end() ? std::string() : it->second;
    }
};

inline std::string decodeEntities(const std::string& text)
{
    static const std::map<std::string, std::string> named = {
        {"amp", "&"}, {"lt", "<"}, {"gt", ">"}, {"quot", "\""}, {"#39", "'"}, {"nbsp", " "}};
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t semi = text.find(';', i);
        if (text[i] == '&' && semi != std::string::npos && semi - i <= 6) {
            const auto it = named.find(text.substr(i + 1, semi - i - 1));
            if (it != named.end()) {
                out += it->second;
                i = semi;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

inline std::string lower(std::string s)
{
    for (char& c : s) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

// Returns the elements named in `tags`, in the order of their start tags.
inline std::vector<Element> scan(const std::string& html, const std::set<std::string>& tags)
{
    std::vector<Element> found;
    std::vector<std::size_t> open; // indices into `found` whose end tag is pending
    std::size_t i = 0;
    const auto isNameChar = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-';
    };
    while (i < html.size()) {
        if (html[i] != '<') {
            const std::size_t next = html.find('<', i);
            const std::string text = decodeEntities(
                html.substr(i, next == std::string::npos ? std::string::npos : next - i));
            for (std::size_t index : open) {
                found[index].text += text;
            }
            i = next == std::string::npos ? html.size() : next;
            continue;
        }
        if (html.compare(i, 4, "<!--") == 0) {
            const std::size_t end = html.find("-->", i + 4);
            i = end == std::string::npos ? html.size() : end + 3;
            continue;
        }
        if (i + 1 < html.size() && (html[i + 1] == '!' || html[i + 1] == '?')) {
            const std::size_t end = html.find('>', i);
            i = end == std::string::npos ? html.size() : end + 1;
            continue;
        }
        const bool closing = i + 1 < html.size() && html[i + 1] == '/';
        std::size_t p = i + (closing ? 2 : 1);
        const std::size_t nameStart = p;
        while (p < html.size() && isNameChar(html[p])) {
            ++p;
        }
        const std::string name = lower(html.substr(nameStart, p - nameStart));
        if (name.empty()) { // a bare '<' is text
            for (std::size_t index : open) {
                found[index].text += '<';
            }
            ++i;
            continue;
        }
        Element element;
        element.tag = name;
        // Attributes: name, name=value, name="value", name='value'.
        while (p < html.size() && html[p] != '>') {
            if (std::isspace(static_cast<unsigned char>(html[p])) != 0 || html[p] == '/') {
                ++p;
                continue;
            }
            const std::size_t attrStart = p;
            while (p < html.size() && html[p] != '=' && html[p] != '>' &&
                   std::isspace(static_cast<unsigned char>(html[p])) == 0) {
                ++p;
            }
            const std::string attrName = lower(html.substr(attrStart, p - attrStart));
            std::string value;
            if (p < html.size() && html[p] == '=') {
                ++p;
                if (p < html.size() && (html[p] == '"' || html[p] == '\'')) {
                    const char quote = html[p];
                    const std::size_t end = html.find(quote, p + 1);
                    value = html.substr(p + 1, end - p - 1);
                    p = end == std::string::npos ? html.size() : end + 1;
                } else {
                    const std::size_t valueStart = p;
                    while (p < html.size() && html[p] != '>' &&
                           std::isspace(static_cast<unsigned char>(html[p])) == 0) {
                        ++p;
                    }
                    value = html.substr(valueStart, p - valueStart);
                }
            }
            element.attributes.emplace(attrName, decodeEntities(value));
        }
        i = p < html.size() ? p + 1 : html.size();
        if (closing) {
            for (auto it = open.rbegin(); it != open.rend(); ++it) {
                if (found[*it].tag == name) {
                    open.erase(std::next(it).base());
                    break;
                }
            }
            continue;
        }
        if (name == "script" || name == "style") {
            const std::size_t end = lower(html).find("</" + name, i);
            i = end == std::string::npos ? html.size() : end;
        }
        if (tags.count(name) != 0) {
            found.push_back(element);
            if (name != "input" && name != "img") {
                open.push_back(found.size() - 1);
            }
        }
    }
    return found;
}

} // namespace markup
