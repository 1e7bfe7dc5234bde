// Runs a shell command for the tool tests: what it printed on both streams,
// or only its exit code (-1 when it did not exit normally).
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

// What it printed on both streams; the exit code in *code.
inline std::string outputOf(const std::string& command, int* code)
{
    std::string text;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    char buffer[512];
    while (pipe && fgets(buffer, sizeof buffer, pipe))
        text += buffer;
    int status = pipe ? pclose(pipe) : -1;
    *code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return text;
}

// The exit code. What the command prints is dropped (its own redirections
// still apply), but for the error stream in *err when asked for.
inline int run(const std::string& command, std::string* err = nullptr)
{
    const std::string errPath =
        (std::filesystem::temp_directory_path() / ("test_command_err_" + std::to_string(getpid()))).string();
    const int status =
        std::system(("{ " + command + "\n} >/dev/null 2>" + (err ? errPath : std::string("&1"))).c_str());
    if (err) {
        std::ifstream in(errPath, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        *err = text.str();
        std::remove(errPath.c_str());
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
