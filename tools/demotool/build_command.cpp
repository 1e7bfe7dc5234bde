#include <iostream>

#include "tools/demotool/commands.h"
#include "tools/writer/description.h"

namespace demotool {

int runBuild(const Args& args)
{
    const char* usage = "usage: demotool build DESC -o DATA\n";
    std::string input, output;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o") {
            if (i + 1 >= args.size() || !output.empty()) {
                std::cerr << usage;
                return 2;
            }
            output = args[++i];
        } else if (input.empty()) {
            input = args[i];
        } else {
            std::cerr << usage;
            return 2;
        }
    }
    if (input.empty() || output.empty()) {
        std::cerr << usage;
        return 2;
    }

    authoring::Bytes text;
    if (!authoring::readFile(input, text)) {
        std::cerr << "demotool build: cannot read " << input << "\n";
        return 1;
    }
    // Files the description names are found next to it.
    authoring::DescriptionOptions options;
    size_t slash = input.rfind('/');
    options.baseDirectory = slash == std::string::npos ? "." : slash == 0 ? "/" : input.substr(0, slash);
    options.soundLibrary = defaultSoundLibrary();
    authoring::Bytes data;
    std::string error;
    if (!authoring::compileDescription(std::string(text.begin(), text.end()), options, data, &error)) {
        std::cerr << input << ":" << error << "\n";
        return 1;
    }
    if (!authoring::writeFile(output, data)) {
        std::cerr << "demotool build: cannot write " << output << "\n";
        return 1;
    }
    return 0;
}

}  // namespace demotool
