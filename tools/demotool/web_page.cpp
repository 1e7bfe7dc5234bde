#include "tools/demotool/web_page.h"

#include <iostream>

#include "tools/demotool/demo_input.h"
#include "tools/render/timeline_chart.h"

namespace tools::demotool {

namespace {

// Where the page takes what is written into it.
const std::string kEmbedMark = "<!--demoplayer:embedded-->";
const std::string kScriptTag = "<script src=\"demoplayer.js\"></script>";
const std::string kDataOpen = "<script type=\"application/octet-stream\" id=\"demo-data\"";

bool endsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

int decoded(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

// Skips blanks; stops at '=' or anything else that is not base64.
writer::Bytes fromBase64(const std::string& text, size_t begin, size_t end)
{
    writer::Bytes out;
    uint32_t bits = 0;
    int count = 0;
    for (size_t i = begin; i < end; ++i) {
        const char c = text[i];
        if (c == ' ' || c == '\n' || c == '\r' || c == '\t')
            continue;
        const int value = decoded(c);
        if (value < 0)
            break;
        bits = bits << 6 | uint32_t(value);
        if (++count == 4) {
            out.push_back(uint8_t(bits >> 16));
            out.push_back(uint8_t(bits >> 8));
            out.push_back(uint8_t(bits));
            bits = 0;
            count = 0;
        }
    }
    if (count == 2) {
        out.push_back(uint8_t(bits >> 4));
    } else if (count == 3) {
        out.push_back(uint8_t(bits >> 10));
        out.push_back(uint8_t(bits >> 2));
    }
    return out;
}

std::string escapedName(const std::string& path)
{
    std::string name = path.substr(path.rfind('/') + 1), out;
    for (char c : name) {
        if (c == '"' || c == '<' || c == '>' || c == '&')
            out += "&#" + std::to_string(int(static_cast<unsigned char>(c))) + ";";
        else
            out += c;
    }
    return out;
}

}  // namespace

bool isWebPage(const std::string& player)
{
    return endsWith(player, ".html");
}

int packWebPage(const std::string& pagePath, const std::string& dataPath, const std::string& output, bool asIs)
{
    const std::string stem = pagePath.substr(0, pagePath.size() - 5);
    writer::Bytes pageFile, script, wasm;
    for (auto [path, bytes] : {std::pair{pagePath, &pageFile}, {stem + ".js", &script}, {stem + ".wasm", &wasm}}) {
        if (!writer::readFile(path, *bytes)) {
            std::cerr << "demotool pack: cannot read " << path
                      << (path == pagePath ? "" : " (the web player's page takes it from beside the page)") << "\n";
            return 1;
        }
    }
    std::string page(pageFile.begin(), pageFile.end());
    const size_t mark = page.find(kEmbedMark), tag = page.find(kScriptTag);
    if (mark == std::string::npos || tag == std::string::npos || tag < mark) {
        std::cerr << "demotool pack: " << pagePath << ": not the web player's page (scripts/build-web makes it)\n";
        return 1;
    }
    DemoInput input;
    std::string error = readDemoInput("pack", dataPath, input);
    if (!error.empty()) {
        std::cerr << error << "\n";
        return 1;
    }
    if (!input.description && reportDamage("pack", dataPath, damageOf(input.data))) {
        if (!asIs) {
            std::cerr << "demotool pack: refused; --as-is packs it all the same\n";
            return 1;
        }
        std::cerr << "demotool pack: packing it as it is (--as-is)\n";
    }
    // A script's text ends at the first "</script": keep that out of it.
    std::string code(script.begin(), script.end());
    for (size_t at = 0; (at = code.find("</script", at)) != std::string::npos; at += 2)
        code.replace(at, 2, "<\\/");
    const std::string embedded = kDataOpen + " data-name=\"" + escapedName(dataPath) + "\">" +
                                 render::base64(input.data) +
                                 "</script>\n<script type=\"application/octet-stream\" id=\"demoplayer-wasm\">" +
                                 render::base64(wasm) + "</script>";
    page.replace(tag, kScriptTag.size(), "<script>\n" + code + "\n</script>");
    page.replace(mark, kEmbedMark.size(), embedded);
    if (!writer::writeFile(output, writer::Bytes(page.begin(), page.end()))) {
        std::cerr << "demotool pack: cannot write " << output << "\n";
        return 1;
    }
    return 0;
}

bool demoDataOfPage(const writer::Bytes& file, writer::Bytes* data)
{
    const std::string text(file.begin(), file.end());
    const size_t open = text.find(kDataOpen);
    if (open == std::string::npos)
        return false;
    const size_t begin = text.find('>', open);
    const size_t end = begin == std::string::npos ? begin : text.find("</script>", begin);
    if (end == std::string::npos)
        return false;
    *data = fromBase64(text, begin + 1, end);
    return true;
}

}  // namespace tools::demotool
