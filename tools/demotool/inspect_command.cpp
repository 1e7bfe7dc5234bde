#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>

#include "tools/demotool/commands.h"
#include "tools/demotool/inspect.h"
#include "tools/demotool/web_page.h"
#include "tools/writer/file_kind.h"

namespace demotool {

Run addInspect(CLI::App& command)
{
    auto path = std::make_shared<std::string>();
    command.add_option("FILE", *path, "demo data, a packed executable or a packed web page")->required();
    return [path] {
        authoring::Bytes file;
        if (!authoring::readFile(*path, file)) {
            std::cerr << "demotool inspect: cannot read " << *path << "\n";
            return 2;
        }
        if (authoring::looksLikeDescription(file)) {
            // Its bytes walked as chunks would only be noise.
            std::cerr << "demotool inspect: " << *path << ": looks like a description, not demo data: "
                      << "`demotool build " << *path << " -o DATA` makes demo data of it\n";
            return 1;
        }
        authoring::Bytes data;
        if (demoDataOfPage(file, &data)) {
            std::cout << "web page, " << file.size() << " bytes; demo data inside, " << data.size() << " bytes\n";
            file = std::move(data);
        }
        return inspect(file, std::cout) ? 0 : 1;
    };
}

}  // namespace demotool
