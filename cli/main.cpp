#include "cli/cli.h"

#include <iostream>
#include <thread>

#include <unistd.h>

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    const pandicube::CliEnvironment env{isatty(STDERR_FILENO) == 1, &std::cin, std::thread::hardware_concurrency()};
    return pandicube::RunCli(argc, argv, std::cout, std::cerr, env);
}
