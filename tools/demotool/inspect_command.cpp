#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>

#include "tools/demotool/commands.h"
#include "tools/demotool/web_page.h"
#include "tools/inspect/inspect.h"
#include "tools/writer/file_kind.h"

namespace tools::demotool {

using namespace tools::writer;
using namespace tools::inspect;

Run addInspect(CLI::App& command)
{
    auto path = std::make_shared<std::string>();
    command.add_option("FILE", *path, "demo data, a packed executable or a packed web page")->required();
    return [path] {
        writer::Bytes file;
        if (!writer::readFile(*path, file)) {
            std::cerr << "demotool inspect: cannot read " << *path << "\n";
            return 2;
        }
        if (writer::looksLikeDescription(file)) {
            // Its bytes walked as chunks would only be noise.
            std::cerr << "demotool inspect: " << *path << ": looks like a description, not demo data: "
                      << "`demotool build " << *path << " -o DATA` makes demo data of it\n";
            return 1;
        }
        writer::Bytes data;
        if (demoDataOfPage(file, &data)) {
            std::cout << "web page, " << file.size() << " bytes; demo data inside, " << data.size() << " bytes\n";
            file = std::move(data);
        }
        return tools::inspect::inspect(file, std::cout) ? 0 : 1;
    };
}

}  // namespace tools::demotool
